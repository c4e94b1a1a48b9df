#include "report_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kestview::results {

namespace {

QString startText(const QString& iso) { return iso.left(16).replace('T', ' '); }
QString num(double v, int decimals) { return QString::number(v, 'f', decimals); }
template <class T>
QString optNum(const std::optional<T>& v, int decimals) {
    return v ? num(double(*v), decimals) : QString();
}
QString yesNo(const std::optional<bool>& v) {
    return v ? (*v ? QStringLiteral("yes") : QStringLiteral("no")) : QString();
}

QString yieldRow(const QString& key, int keyWidth, const YieldLine& l) {
    return QStringLiteral("%1 %2 %3 %4 %5\n")
        .arg(fitted(key, keyWidth), -keyWidth)
        .arg(l.runs, 7)
        .arg(l.passes, 7)
        .arg(percent(l.passes, l.runs), 7)
        .arg(percent(l.firstPasses, l.firstRuns), 11);
}

QString csvField(const QString& s) {
    if (!s.contains(',') && !s.contains('"') && !s.contains('\n') && s.trimmed() == s) return s;
    return '"' + QString(s).replace('"', QStringLiteral("\"\"")) + '"';
}

}  // namespace

QString percent(long part, long whole) {
    return whole > 0 ? QString::number(100.0 * double(part) / double(whole), 'f', 1) + '%' : QStringLiteral("-");
}

QString fitted(const QString& text, int width) {
    return text.size() <= width ? text : text.left(width - 1) + '~';
}

QString listText(const std::vector<RunSummary>& runs) {
    QString out = QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                      .arg(QStringLiteral("Run"), -8)
                      .arg(QStringLiteral("Started"), -16)
                      .arg(QStringLiteral("Station"), -14)
                      .arg(QStringLiteral("MAC address"), -17)
                      .arg(QStringLiteral("Serial"), -12)
                      .arg(QStringLiteral("Result"));
    for (const RunSummary& r : runs)
        out += QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                   .arg(r.runId.left(8), -8)
                   .arg(startText(r.started), -16)
                   .arg(fitted(r.station, 14), -14)
                   .arg(r.macAddress, -17)
                   .arg(fitted(r.serialNumber, 12), -12)
                   .arg(r.result);
    out += QStringLiteral("%1 run%2\n").arg(runs.size()).arg(runs.size() == 1 ? "" : "s");
    return out;
}

QString showText(const RunRecord& r) {
    QString out;
    const auto field = [&out](const char* name, const QString& value) {
        if (!value.isEmpty()) out += QStringLiteral("%1 %2\n").arg(QLatin1String(name), -18).arg(fitted(value, 61));
    };
    field("Run", r.runId);
    field("Result", r.result);
    field("Failure reason", r.failureReason);
    field("MAC address", r.macAddress);
    field("Serial number", r.serialNumber);
    field("Adapter key", r.adapterKey);
    field("Baseband", r.baseband);
    field("Station", r.station);
    field("Operator", r.operatorName);
    field("Software version", r.softwareVersion);
    field("Started", r.started);
    field("Ended", r.ended);
    field("Elapsed seconds", optNum(r.elapsedSeconds, 2));
    field("Test seconds", optNum(r.testSeconds, 2));
    field("Time scale", optNum(r.timeScale, 0));
    field("Mask offset dB", optNum(r.maskOffsetDb, 1));
    field("Stored in adapter", yesNo(r.storedInAdapter));
    field("Store outcome", r.storeOutcome);
    out += QStringLiteral("\n%1 %2 %3 %4 %5 %6 %7 %8 %9  %10\n")
               .arg(QStringLiteral("Row"), 3)
               .arg(QStringLiteral("Tag"), -12)
               .arg(QStringLiteral("Ch"), 2)
               .arg(QStringLiteral("Power dBm"), 10)
               .arg(QStringLiteral("CR58"), 5)
               .arg(QStringLiteral("CR31"), 5)
               .arg(QStringLiteral("1st SL"), 7)
               .arg(QStringLiteral("2nd SL"), 7)
               .arg(QStringLiteral("Limit"), 6)
               .arg(QStringLiteral("Pass"));
    for (const RunRow& x : r.rows)
        out += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9  %10\n")
                   .arg(x.row, 3)
                   .arg(fitted(x.tag, 12), -12)
                   .arg(x.channel, 2)
                   .arg(num(x.outputPowerDbm, 2), 10)
                   .arg(x.setPoint, 5)
                   .arg(x.integrator, 5)
                   .arg(num(x.firstLobeDbc, 2), 7)
                   .arg(num(x.secondLobeDbc, 2), 7)
                   .arg(optNum(x.limitDbc, 1), 6)
                   .arg(yesNo(x.passed));
    return out;
}

QString yieldText(const YieldReport& y) {
    const QString from = y.fromDay.isEmpty() ? QStringLiteral("the first run") : y.fromDay;
    const QString to = y.toDay.isEmpty() ? QStringLiteral("the last") : y.toDay;
    QString out = QStringLiteral("Yield from %1 to %2, %3\n")
                      .arg(from, to, y.station.isEmpty() ? QStringLiteral("all stations") : "station " + y.station);
    out += QStringLiteral("%1 runs, %2 passed (%3); first-pass yield %4 (%5 of %6 adapters)\n")
               .arg(y.total.runs)
               .arg(y.total.passes)
               .arg(percent(y.total.passes, y.total.runs))
               .arg(percent(y.total.firstPasses, y.total.firstRuns))
               .arg(y.total.firstPasses)
               .arg(y.total.firstRuns);
    const auto table = [&out](const QString& title, int width, const std::vector<YieldLine>& lines) {
        out += QStringLiteral("\n%1 %2 %3 %4 %5\n")
                   .arg(title, -width)
                   .arg(QStringLiteral("Runs"), 7)
                   .arg(QStringLiteral("Passed"), 7)
                   .arg(QStringLiteral("Yield"), 7)
                   .arg(QStringLiteral("First-pass"), 11);
        for (const YieldLine& l : lines) out += yieldRow(l.key, width, l);
    };
    table(QStringLiteral("Day"), 10, y.byDay);
    table(QStringLiteral("Station"), 24, y.byStation);
    out += QStringLiteral("\nChannel    Runs  Failed  Failure rate\n");
    for (const ChannelLine& c : y.byChannel)
        out += QStringLiteral("%1 %2 %3 %4\n").arg(c.channel, 7).arg(c.runs, 7).arg(c.failed, 7).arg(percent(c.failed, c.runs), 13);
    out += QStringLiteral("\nMost common failure reasons\n  Count  Reason\n");
    if (y.reasons.empty()) out += QStringLiteral("      -  (no failed runs)\n");
    for (const ReasonLine& r : y.reasons)
        out += QStringLiteral("%1  %2\n")
                   .arg(r.count, 7)
                   .arg(fitted(r.reason.isEmpty() ? QStringLiteral("(no reason recorded)") : r.reason, kTerminalColumns - 9));
    return out;
}

QByteArray exportCsv(const std::vector<RunRecord>& runs) {
    QStringList lines{QStringLiteral(
        "run_id,station,operator,software_version,adapter_key,mac_address,serial_number,baseband,started,ended,"
        "elapsed_seconds,test_seconds,time_scale,mask_offset_db,result,failure_reason,stored_in_adapter,store_outcome,"
        "row_no,tag,channel,passed,output_power_dbm,set_point,integrator,first_lobe_dbc,second_lobe_dbc,limit_dbc,"
        "within_mask")};
    for (const RunRecord& r : runs) {
        const QStringList run{r.runId,          r.station,        r.operatorName,          r.softwareVersion,
                              r.adapterKey,     r.macAddress,     r.serialNumber,          r.baseband,
                              r.started,        r.ended,          optNum(r.elapsedSeconds, 3),
                              optNum(r.testSeconds, 3), optNum(r.timeScale, 3), optNum(r.maskOffsetDb, 2),
                              r.result,         r.failureReason,  yesNo(r.storedInAdapter), r.storeOutcome};
        for (const RunRow& x : r.rows) {
            QStringList fields = run;
            fields << QString::number(x.row) << x.tag << QString::number(x.channel) << yesNo(x.passed)
                   << num(x.outputPowerDbm, 2) << QString::number(x.setPoint) << QString::number(x.integrator)
                   << num(x.firstLobeDbc, 2) << num(x.secondLobeDbc, 2) << optNum(x.limitDbc, 2) << yesNo(x.withinMask);
            for (QString& f : fields) f = csvField(f);
            lines << fields.join(',');
        }
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray exportJson(const std::vector<RunRecord>& runs) {
    QJsonArray all;
    for (const RunRecord& r : runs) all.append(QJsonDocument::fromJson(runRecordJson(r)).object());
    return QJsonDocument(all).toJson(QJsonDocument::Indented);
}

}  // namespace kestview::results
