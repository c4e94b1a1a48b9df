#include "mask_chart.h"

#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kestview::mfgtest {

namespace {

struct Pass {
    const char* name;
    int firstRow;
    QColor colour;
};

}  // namespace

QChart* makeMaskChart(const TestRows& rows, double maskOffset) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Spectral mask: sidelobes against the limit of -%1 dBc, and output power").arg(maskOffset));
    auto* channels = new QValueAxis;
    channels->setRange(0.5, 14.5);
    channels->setTickCount(14);
    channels->setTickType(QValueAxis::TicksDynamic);
    channels->setTickAnchor(1);
    channels->setTickInterval(1);
    channels->setLabelFormat("%d");
    channels->setTitleText("Channel");
    auto* dbc = new QValueAxis;
    dbc->setTitleText("Sidelobe (dBc)");
    auto* dbm = new QValueAxis;
    dbm->setTitleText("Output power (dBm)");
    chart->addAxis(channels, Qt::AlignBottom);
    chart->addAxis(dbc, Qt::AlignLeft);
    chart->addAxis(dbm, Qt::AlignRight);

    auto attach = [&](QXYSeries* s, QValueAxis* y) {
        chart->addSeries(s);
        s->attachAxis(channels);
        s->attachAxis(y);
    };
    auto* limit = new QLineSeries;
    limit->setName("Mask limit");
    limit->setPen(QPen(Qt::red, 2, Qt::DashLine));
    limit->append(0.5, -maskOffset);
    limit->append(14.5, -maskOffset);
    attach(limit, dbc);

    double low = -maskOffset - 2, high = -maskOffset + 2, pLow = 1e9, pHigh = -1e9;
    for (const Pass& pass : {Pass{"US", 1, QColor(0, 90, 200)}, Pass{"JPN", 17, QColor(0, 150, 60)}}) {
        auto* first = new QLineSeries;
        first->setName(QStringLiteral("%1 1st SL").arg(pass.name));
        first->setPen(QPen(pass.colour, 2));
        auto* second = new QLineSeries;
        second->setName(QStringLiteral("%1 2nd SL").arg(pass.name));
        second->setPen(QPen(pass.colour, 1, Qt::DotLine));
        auto* power = new QScatterSeries;
        power->setName(QStringLiteral("%1 power").arg(pass.name));
        power->setColor(pass.colour.lighter(140));
        power->setMarkerSize(7);
        for (int ch = 1; ch <= 14; ++ch) {
            const auto& row = rows[pass.firstRow + ch - 1];
            if (!row) continue;
            first->append(ch, row->firstLobe);
            second->append(ch, row->secondLobe);
            power->append(ch, row->outputPower);
            low = std::min({low, row->firstLobe, row->secondLobe});
            high = std::max({high, row->firstLobe, row->secondLobe});
            pLow = std::min(pLow, row->outputPower);
            pHigh = std::max(pHigh, row->outputPower);
        }
        attach(first, dbc);
        attach(second, dbc);
        attach(power, dbm);
    }
    dbc->setRange(std::floor(low) - 1, std::ceil(high) + 1);
    if (pLow > pHigh) pLow = pHigh = 0;
    dbm->setRange(std::floor(pLow) - 1, std::ceil(pHigh) + 1);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

}  // namespace kestview::mfgtest
