#include "traffic_form.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "message_sink.h"
#include "printing.h"
#include "statistics.h"

using namespace airmeter;

namespace {

const char* const kRates[] = {"1 Mbps", "2 Mbps"};

QLabel* valueLabel(const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(130);
    return label;
}

}  // namespace

TTrafficForm::TTrafficForm(bool transmit, const TestSettings& settings, IniFile& ini, QWidget* parent)
    : QDialog(parent), settings_(settings), ini_(ini), transmit_(transmit) {
    setWindowTitle(transmit ? "Transmit Data" : "Receive Data");
    auto* layout = new QVBoxLayout(this);

    header_ = new QWidget;
    header_->setObjectName("HeaderPanel");
    header_->installEventFilter(this);
    auto* head = new QGridLayout(header_);
    const QString rate = settings.dataRate < 2 ? QString(kRates[settings.dataRate]) : QString();
    const QString channel = settings.channel > 0 ? QString::number(settings.channel) : QString();
    const struct { const char* caption; QString value; const char* name; } fields[] = {
        {" Local Address", QString::fromStdString(settings.localAddress), "LocalAddrValue"},
        {" Name", QString::fromStdString(settings.localHostName), "NameValue"},
        {" Mode", modeName(settings.mode), "ModeValue"},
        {" Port", QString::number(settings.socketPort), "PortValue"},
        {" Size", QString::number(settings.packetSize), "SizeValue"},
        {" Units", unitName(settings.unit), "UnitsValue"},
        {" Rate", rate, "RateValue"},
        {" Chan", channel, "ChanValue"},
        {" Remote Address", QString(), "RemoteAddrValue"},
    };
    int index = 0;
    for (const auto& f : fields) {
        const int row = index / 3, column = (index % 3) * 2;
        head->addWidget(new QLabel(f.caption), row, column);
        auto* value = valueLabel(" " + f.value, f.name);
        head->addWidget(value, row, column + 1);
        if (std::string_view(f.name) == "RemoteAddrValue") remote_ = value;
        ++index;
    }
    layout->addWidget(header_);

    auto* stateRow = new QHBoxLayout;
    stateRow->addWidget(new QLabel(" State"));
    stateValue_ = valueLabel(" Idle", "StateValue");
    stateRow->addWidget(stateValue_, 1);
    layout->addLayout(stateRow);

    // Cells are named after the row and column, e.g. "GoodCumulative".
    auto* results = new QGridLayout;
    results->addWidget(new QLabel("Current"), 0, 1, Qt::AlignRight);
    results->addWidget(new QLabel("Cumulative"), 0, 2, Qt::AlignRight);
    for (const FigureRow& row : figureRows(!transmit, settings.mode == TestMode::Stream)) {
        const int line = results->rowCount();
        results->addWidget(new QLabel(QString("  ") + row.caption), line, 0);
        ResultRow cells{row.figure, valueLabel({}, (std::string(row.name) + "Current").c_str()),
                        valueLabel({}, (std::string(row.name) + "Cumulative").c_str())};
        for (QLabel* cell : {cells.current, cells.cumulative}) cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        results->addWidget(cells.current, line, 1);
        results->addWidget(cells.cumulative, line, 2);
        results_.push_back(cells);
    }
    layout->addLayout(results);

    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(transmit ? "Start Tx" : "Start Rx");
    start_->setObjectName("StartButton");
    stop_ = new QPushButton(transmit ? "Stop Tx" : "Stop Rx");
    stop_->setObjectName("StopButton");
    stop_->setEnabled(false);
    done_ = new QPushButton("Done");
    done_->setObjectName("DoneButton");
    for (auto* b : {start_, stop_, done_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, [this] { startRun(); });
    connect(stop_, &QPushButton::clicked, this, [this] { stopRun(); });
    connect(done_, &QPushButton::clicked, this, &QDialog::accept);
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, [this] { update(); });
}

int TTrafficForm::runModal() {
    readConfig();
    showSettingsMessages();
    const int result = exec();
    writeConfig();
    showSettingsMessages();
    return result;
}

void TTrafficForm::showSettingsMessages() {
    if (const QString text = ini_.takeMessages(); !text.isEmpty()) messages().showMessage(this, text);
}

EventSink TTrafficForm::eventSink() {
    return [this](const RunEvent& event) {
        if (QThread::currentThread() == thread()) {
            handle(event);
        } else {
            QMetaObject::invokeMethod(this, [this, event] { handle(event); }, Qt::QueuedConnection);
        }
    };
}

void TTrafficForm::handle(const RunEvent& event) {
    if (event.generation != run().generation()) return;  // from an earlier run
    switch (event.kind) {
        case RunEvent::Kind::Error:
        case RunEvent::Kind::Notice:
            messages().showMessage(this, QString::fromStdString(event.text));
            break;
        case RunEvent::Kind::StateChanged:
            showState(event.state);
            break;
        case RunEvent::Kind::Started:
            if (!event.text.empty()) setRemote(QString::fromStdString(event.text));
            timer_.start();
            break;
        case RunEvent::Kind::Ended:
            stopRun();
            if (!event.text.empty()) messages().showMessage(this, QString::fromStdString(event.text));
            break;
    }
}

void TTrafficForm::showState(RunState state) {
    stateValue_->setText(QString(" ") + stateName(state));
    const bool idle = state == RunState::Idle;
    start_->setEnabled(idle);
    done_->setEnabled(idle);
    stop_->setEnabled(!idle);
}

void TTrafficForm::stopRun() {
    run().stop();
    // The final figures, not those of the last tick.
    if (timer_.isActive()) update();
    timer_.stop();
    if (transmit_) setRemote({});
    showState(RunState::Idle);
}

void TTrafficForm::setRemote(const QString& text) { remote_->setText(text); }

void TTrafficForm::clearResults() {
    for (const ResultRow& row : results_) {
        row.current->clear();
        row.cumulative->clear();
    }
}

void TTrafficForm::update() {
    const StatisticsSnapshot s = run().statistics().update(nowMs());
    const bool receive = !transmit_;
    const Figures current = formatFigures(s.current, s.atMs, receive);
    const Figures cumulative = formatFigures(s.cumulative, s.atMs, receive);
    for (const ResultRow& row : results_) {
        row.current->setText(QString::fromStdString(current.*row.figure));
        row.cumulative->setText(QString::fromStdString(cumulative.*row.figure));
    }
    refreshRemote();
}

bool TTrafficForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header_ && event->type() == QEvent::MouseButtonDblClick) {
        printWidget(this);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TTrafficForm::done(int result) {
    if (run().state() != RunState::Idle) stopRun();
    QDialog::done(result);
}
