#include "main_form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "message_sink.h"
#include "printing.h"
#include "recv_form.h"
#include "test_form.h"
#include "xmit_form.h"

using namespace airmeter;

namespace {

QLabel* panel(const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    return label;
}

QComboBox* dropDown(const QStringList& items, const char* name) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItems(items);
    return box;
}

// Strict integer conversion; a failure is reported.
std::optional<int> toInteger(QWidget* parent, const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok) {
        messages().showMessage(parent, QString("'%1' is not a valid integer value").arg(text));
        return std::nullopt;
    }
    return value;
}

}  // namespace

TMainForm::TMainForm(IniFile ini, const LocalIdentity& identity, QWidget* parent)
    : QWidget(parent), ini_(std::move(ini)), read_(ini_.read()), identity_(identity) {
    setWindowTitle("Wireless LAN Evalution Software");
    auto* layout = new QVBoxLayout(this);
    header_ = panel(QString("VIREO Wireless LAN Evaluation Program -- Version %1").arg(kVersion), "HeaderPanel");
    header_->setAlignment(Qt::AlignCenter);
    header_->setContextMenuPolicy(Qt::DefaultContextMenu);
    header_->installEventFilter(this);
    layout->addWidget(header_);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(" Local Host Addr"), 0, 0);
    grid->addWidget(panel(" " + QString::fromStdString(identity.address), "LocalAddrPanel"), 0, 1);
    grid->addWidget(new QLabel(" Local Host Name"), 1, 0);
    grid->addWidget(panel(" " + QString::fromStdString(identity.name), "LocalNamePanel"), 1, 1);

    dataRate_ = dropDown({"1 Mbps", "2 Mbps"}, "DataRateCombo");
    QStringList channels;
    for (int c = 1; c <= 12; ++c) channels << QString::number(c);
    channel_ = dropDown(channels, "ChannelCombo");
    for (auto* box : {dataRate_, channel_}) {
        box->setCurrentIndex(-1);
        box->setEnabled(false);
    }
    port_ = new QLineEdit(QString::number(ini_.integer(read_, kSockPortSetting)));
    port_->setObjectName("SockPortEdit");
    size_ = new QLineEdit(QString::number(ini_.integer(read_, kPktSizeSetting)));
    size_->setObjectName("PktSizeEdit");
    unit_ = dropDown({"Application", "MAC"}, "PktUnitCombo");
    mode_ = dropDown({"Broadcast", "Directed", "Stream"}, "TestModeCombo");
    broadcastAddress_ = QString::fromStdString(read_.value("MainConfig", "BroadcastAddr").value_or(kBroadcastAddress));

    const struct { const char* caption; QWidget* control; } rows[] = {
        {"Data &Rate", dataRate_},  {"&Channel", channel_},     {"Socket &Port", port_},
        {"Packet &Size", size_},    {"Packet &Units", unit_},   {"Test Mode", mode_},
    };
    int line = 2;
    for (const auto& r : rows) {
        auto* label = new QLabel(r.caption);
        label->setBuddy(r.control);
        grid->addWidget(label, line, 0);
        grid->addWidget(r.control, line++, 1);
    }
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    const struct { const char* caption; const char* name; void (TMainForm::*action)(); } defs[] = {
        {"Start Tx", "StartTxButton", &TMainForm::startTx},
        {"Start Rx", "StartRxButton", &TMainForm::startRx},
    };
    for (const auto& d : defs) {
        auto* b = new QPushButton(d.caption);
        b->setObjectName(d.name);
        connect(b, &QPushButton::clicked, this, d.action);
        buttons->addWidget(b);
    }
    auto* done = new QPushButton("Done");
    done->setObjectName("DoneButton");
    connect(done, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(done);
    layout->addLayout(buttons);

    unitChoice_ = ini_.integer(read_, kPktUnitSetting);
    mode_->setCurrentIndex(ini_.integer(read_, kModeSetting));
    applyTestModeRule();
    connect(mode_, &QComboBox::currentIndexChanged, this, [this] { applyTestModeRule(); });
    connect(unit_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (unit_->count() == 2 && index >= 0) unitChoice_ = index;
    });
    showSettingsMessages();
}

void TMainForm::showSettingsMessages() {
    if (const QString text = ini_.takeMessages(); !text.isEmpty()) messages().showMessage(this, text);
}

void TMainForm::applyTestModeRule() {
    const QSignalBlocker block(unit_);
    unit_->clear();
    if (mode_->currentIndex() == static_cast<int>(TestMode::Stream)) {
        unit_->addItem("Application");
        unit_->setCurrentIndex(0);
    } else {
        unit_->addItems({"Application", "MAC"});
        unit_->setCurrentIndex(unitChoice_);
    }
}

std::optional<TestSettings> TMainForm::testSettings() {
    const auto port = toInteger(this, port_->text());
    if (!port) return std::nullopt;
    const auto size = toInteger(this, size_->text());
    if (!size) return std::nullopt;
    TestSettings s;
    s.localAddress = identity_.address;
    s.localHostName = identity_.name;
    s.socketPort = *port;
    s.packetSize = *size;
    s.mode = static_cast<TestMode>(mode_->currentIndex());
    s.unit = static_cast<PacketUnit>(unit_->currentIndex());
    s.channel = channel_->currentIndex() + 1;
    s.dataRate = dataRate_->currentIndex() < 0 ? kNoDataRate : static_cast<std::uint8_t>(dataRate_->currentIndex());
    s.broadcastAddress = broadcastAddress_.toStdString();
    return s;
}

template <typename Form>
void TMainForm::runTestWindow() {
    const auto settings = testSettings();
    if (!settings) return;
    Form form(*settings, ini_);
    active_ = &form;
    hide();
    form.runModal();
    active_ = nullptr;
    show();
}

void TMainForm::startTx() { runTestWindow<TXmitForm>(); }

void TMainForm::startRx() { runTestWindow<TRecvForm>(); }

void TMainForm::openTestWindow() {
    TTestForm form(TTestForm::defaultOutputPath(), this);
    active_ = &form;
    form.exec();
    active_ = nullptr;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header_) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            printWidget(this);
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            QMenu menu;
            menu.setObjectName("HeaderMenu");
            menu.addAction("&Test", this, &TMainForm::openTestWindow);
            menu.exec(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TMainForm::writeMainConfig() {
    const auto port = toInteger(this, port_->text());
    if (!port) return false;
    const auto size = toInteger(this, size_->text());
    if (!size) return false;
    // The controls' values; keys the user edited in the file meanwhile and the user's own lines stay.
    const std::pair<const IntegerSetting&, int> values[] = {
        {kSockPortSetting, *port},
        {kModeSetting, mode_->currentIndex()},
        {kPktSizeSetting, *size},
        {kPktUnitSetting, unit_->currentIndex()},
    };
    ini_.update([&](IniDocument& file) {
        bool changed = false;
        for (const auto& [setting, value] : values) {
            changed |= IniFile::store(file, read_.value(setting.section, setting.key), setting.section, setting.key,
                                      std::to_string(value));
        }
        return file.setDefault("MainConfig", "BroadcastAddr", broadcastAddress_.toStdString()) || changed;
    });
    showSettingsMessages();
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // Text that is not an integer keeps the program open, so the user can mend it.
    if (writeMainConfig()) {
        event->accept();
    } else {
        event->ignore();
    }
}
