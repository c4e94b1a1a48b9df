#include "ResultsFrm.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "report_text.h"

namespace kestview::results {

namespace {

QTableWidget* table(const char* name, const QStringList& headers) {
    auto* t = new QTableWidget(0, int(headers.size()));
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setWordWrap(false);
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c > 0 && t->objectName() == QLatin1String("YieldLst")) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setItem(row, c, item);
    }
}

QChart* makeChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

// Puts the series on the chart over fresh axes: run number across, the value up.
void plot(QChart* chart, const std::vector<QAbstractSeries*>& series, const QString& yTitle, double lo, double hi,
          int runs) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("Run (oldest first)"));
    x->setLabelFormat(QStringLiteral("%d"));
    x->setRange(0.5, std::max(1, runs) + 0.5);
    auto* y = new QValueAxis;
    y->setTitleText(yTitle);
    const double pad = std::max(0.5, (hi - lo) * 0.1);
    y->setRange(lo - pad, hi + pad);
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : series) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

}  // namespace

ResultsFrm::ResultsFrm(const QString& databaseText, QWidget* parent) : QWidget(parent, Qt::Window), databaseText_(databaseText) {
    setObjectName(QStringLiteral("ResultsFrm"));
    setWindowTitle(QStringLiteral("Results"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);

    auto* filters = new QHBoxLayout;
    const auto edit = [&](const char* name, const QString& label, const QString& hint, int width) {
        auto* e = new QLineEdit;
        e->setObjectName(QLatin1String(name));
        e->setPlaceholderText(hint);
        e->setMinimumWidth(width);
        filters->addWidget(new QLabel(label));
        filters->addWidget(e);
        connect(e, &QLineEdit::returnPressed, this, &ResultsFrm::refresh);
        return e;
    };
    mac_ = edit("MacTxt", QStringLiteral("MAC address"), QStringLiteral("00-60-1D-C3-00-03"), 150);
    station_ = edit("StationTxt", QStringLiteral("Station"), QStringLiteral("all"), 100);
    filters->addWidget(new QLabel(QStringLiteral("Result")));
    result_ = new QComboBox;
    result_->setObjectName(QStringLiteral("ResultCbo"));
    result_->addItems({QStringLiteral("all"), QStringLiteral("pass"), QStringLiteral("fail")});
    filters->addWidget(result_);
    from_ = edit("FromTxt", QStringLiteral("From"), QStringLiteral("yyyy-mm-dd"), 100);
    to_ = edit("ToTxt", QStringLiteral("To"), QStringLiteral("yyyy-mm-dd"), 100);
    auto* refreshCmd = new QPushButton(QStringLiteral("Refresh"));
    refreshCmd->setObjectName(QStringLiteral("RefreshCmd"));
    filters->addWidget(refreshCmd);
    filters->addStretch();
    layout->addLayout(filters);
    connect(refreshCmd, &QPushButton::clicked, this, &ResultsFrm::refresh);
    connect(result_, &QComboBox::currentIndexChanged, this, &ResultsFrm::refresh);

    database_ = new QLabel;
    database_->setObjectName(QStringLiteral("DatabaseLbl"));
    layout->addWidget(database_);

    auto* top = new QSplitter(Qt::Horizontal);
    runs_ = table("RunsLst", {QStringLiteral("Run"), QStringLiteral("Started"), QStringLiteral("Station"),
                              QStringLiteral("MAC address"), QStringLiteral("Serial"), QStringLiteral("Result"),
                              QStringLiteral("Failure reason")});
    top->addWidget(runs_);
    auto* yieldBox = new QWidget;
    auto* yv = new QVBoxLayout(yieldBox);
    yv->setContentsMargins(0, 0, 0, 0);
    yield_ = table("YieldLst", {QStringLiteral("Day / station"), QStringLiteral("Runs"), QStringLiteral("Passed"),
                                QStringLiteral("Yield"), QStringLiteral("First-pass")});
    yv->addWidget(yield_, 1);
    reasons_ = new QLabel;
    reasons_->setObjectName(QStringLiteral("ReasonsLbl"));
    reasons_->setWordWrap(true);
    yv->addWidget(reasons_);
    top->addWidget(yieldBox);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 2);
    layout->addWidget(top, 2);

    auto* chartBar = new QHBoxLayout;
    chartBar->addWidget(new QLabel(QStringLiteral("Channel")));
    channel_ = new QComboBox;
    channel_->setObjectName(QStringLiteral("ChannelCbo"));
    for (int ch = 1; ch <= 14; ++ch) channel_->addItem(QString::number(ch));
    chartBar->addWidget(channel_);
    chartBar->addStretch();
    layout->addLayout(chartBar);
    connect(channel_, &QComboBox::currentIndexChanged, this, [this](int i) { showChannel(i + 1); });

    auto* charts = new QHBoxLayout;
    sidelobe_ = makeChart(QString());
    integrator_ = makeChart(QString());
    for (auto [chart, name] : {std::pair{sidelobe_, "SidelobeChart"}, {integrator_, "IntegratorChart"}}) {
        auto* view = new QChartView(chart);
        view->setObjectName(QLatin1String(name));
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumHeight(300);
        charts->addWidget(view);
    }
    layout->addLayout(charts, 3);
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("StatusLbl"));
    layout->addWidget(status_);
    resize(1280, 900);

    QString error;
    const auto target = chooseDbTarget(databaseText_, error);
    if (target) store_ = ResultsStore::open(*target, error);
    database_->setText(store_ ? QStringLiteral("Database: ") + store_->target().display()
                              : QStringLiteral("Database: not open"));
    if (!store_) status_->setText(error);
    refresh();
}

ResultsFrm::~ResultsFrm() = default;

QString ResultsFrm::errorText() const { return status_->text(); }

RunFilter ResultsFrm::filter() const {
    RunFilter f;
    f.mac = mac_->text().trimmed();
    f.station = station_->text().trimmed();
    f.result = result_->currentIndex() == 0 ? QString() : result_->currentText();
    f.fromDay = from_->text().trimmed();
    f.toDay = to_->text().trimmed();
    return f;
}

void ResultsFrm::refresh() {
    if (!store_) return;
    QString error;
    RunFilter f = filter();
    if (!f.mac.isEmpty() && normalMac(f.mac).isEmpty()) {
        status_->setText(QStringLiteral("\"%1\" is not a MAC address").arg(f.mac));
        return;
    }
    for (const QString& day : {f.fromDay, f.toDay})
        if (!day.isEmpty() && !QDate::fromString(day, Qt::ISODate).isValid()) {
            status_->setText(QStringLiteral("\"%1\" is not a day (yyyy-mm-dd)").arg(day));
            return;
        }
    f.limit = 1000;
    const auto runs = store_->list(f, error);
    const auto yield = runs ? store_->yield(f, error) : std::nullopt;
    if (!runs || !yield) {
        status_->setText(error);
        return;
    }
    fillRuns(*runs);
    fillYield(*yield);
    status_->setText(QStringLiteral("%1 runs shown").arg(runs->size()));
    showChannel(channel_->currentIndex() + 1);
}

void ResultsFrm::fillRuns(const std::vector<RunSummary>& runs) {
    runs_->setRowCount(int(runs.size()));
    for (int i = 0; i < int(runs.size()); ++i) {
        const RunSummary& r = runs[std::size_t(i)];
        setRow(runs_, i, {r.runId.left(8), r.started.left(16).replace('T', ' '), r.station, r.macAddress,
                          r.serialNumber, r.result, r.failureReason});
        if (r.result == QStringLiteral("fail")) runs_->item(i, 5)->setForeground(QColor(190, 0, 0));
    }
    runs_->resizeColumnsToContents();
}

void ResultsFrm::fillYield(const YieldReport& y) {
    std::vector<std::pair<QString, YieldLine>> lines;
    for (const YieldLine& l : y.byDay) lines.push_back({l.key, l});
    for (const YieldLine& l : y.byStation) lines.push_back({QStringLiteral("station ") + l.key, l});
    lines.push_back({QStringLiteral("All"), y.total});
    yield_->setRowCount(int(lines.size()));
    for (int i = 0; i < int(lines.size()); ++i) {
        const auto& [key, l] = lines[std::size_t(i)];
        setRow(yield_, i, {key, QString::number(l.runs), QString::number(l.passes), percent(l.passes, l.runs),
                           percent(l.firstPasses, l.firstRuns)});
    }
    yield_->resizeColumnsToContents();
    QStringList text;
    QStringList channels;
    for (const ChannelLine& c : y.byChannel)
        if (c.failed) channels << QStringLiteral("%1 (%2)").arg(c.channel).arg(c.failed);
    text << QStringLiteral("Failed channels: ") + (channels.isEmpty() ? QStringLiteral("none") : channels.join(", "));
    for (const ReasonLine& r : y.reasons)
        text << QStringLiteral("%1 × %2").arg(r.count).arg(r.reason.isEmpty() ? QStringLiteral("(no reason recorded)") : r.reason);
    reasons_->setText(text.join('\n'));
}

void ResultsFrm::showChannel(int channel) {
    if (!store_) return;
    QString error;
    const auto points = store_->channelSeries(channel, filter(), error);
    if (!points) {
        status_->setText(error);
        return;
    }
    // Run numbers in start order; each run's US and JPN passes (and the ETSI repeats) of the channel.
    std::map<QString, int> runNumber;
    std::vector<QString> order;
    for (const ChannelPoint& p : *points)
        if (runNumber.emplace(p.runId, 0).second) order.push_back(p.runId);
    for (int i = 0; i < int(order.size()); ++i) runNumber[order[std::size_t(i)]] = i + 1;
    const int runs = int(order.size());

    std::map<QString, QLineSeries*> lobes, integrators;
    auto* limit = new QLineSeries;
    limit->setName(QStringLiteral("Mask limit"));
    QPen pen(QColor(200, 0, 0));
    pen.setWidth(2);
    pen.setStyle(Qt::DashLine);
    limit->setPen(pen);
    double lobeLo = 0, lobeHi = -100, intLo = 255, intHi = 0;
    for (const ChannelPoint& p : *points) {
        const QString pass = p.tag.section(' ', 0, 0);
        auto& l = lobes[pass];
        auto& g = integrators[pass];
        if (!l) {
            l = new QLineSeries;
            l->setName(pass + QStringLiteral(" first sidelobe"));
            l->setPointsVisible(true);
            g = new QLineSeries;
            g->setName(pass + QStringLiteral(" CR31"));
            g->setPointsVisible(true);
        }
        const int x = runNumber[p.runId];
        l->append(x, p.firstLobeDbc);
        g->append(x, p.integrator);
        lobeLo = std::min(lobeLo, p.firstLobeDbc);
        lobeHi = std::max(lobeHi, p.firstLobeDbc);
        intLo = std::min(intLo, double(p.integrator));
        intHi = std::max(intHi, double(p.integrator));
        if (p.limitDbc && (limit->count() == 0 || limit->at(limit->count() - 1).x() != x)) {
            limit->append(x, *p.limitDbc);
            lobeLo = std::min(lobeLo, *p.limitDbc);
            lobeHi = std::max(lobeHi, *p.limitDbc);
        }
    }
    if (points->empty()) lobeLo = -30, lobeHi = -26, intLo = 0, intHi = 255;
    std::vector<QAbstractSeries*> lobeSeries{limit}, intSeries;
    for (auto& [pass, s] : lobes) lobeSeries.push_back(s);
    for (auto& [pass, s] : integrators) intSeries.push_back(s);
    sidelobe_->setTitle(QStringLiteral("Channel %1: first sidelobe across runs").arg(channel));
    integrator_->setTitle(QStringLiteral("Channel %1: integrator (CR31) across runs").arg(channel));
    plot(sidelobe_, lobeSeries, QStringLiteral("dBc"), lobeLo, lobeHi, runs);
    plot(integrator_, intSeries, QStringLiteral("CR31"), intLo, intHi, runs);
}

}  // namespace kestview::results
