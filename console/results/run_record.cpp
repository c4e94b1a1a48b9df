#include "run_record.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUuid>

namespace kestview::results {

namespace {

std::optional<double> number(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isDouble() ? std::optional(v.toDouble()) : std::nullopt;
}
std::optional<bool> flag(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isBool() ? std::optional(v.toBool()) : std::nullopt;
}
QString text(const QJsonObject& o, const char* key) { return o.value(QLatin1String(key)).toString(); }

// Names the ids of records written before runs had one, from what identifies the run.
const QUuid kOlderRecords = QUuid::fromString(QStringLiteral("{5f0c7a52-6c1e-4b0e-9a57-3d1f2b6e8c41}"));

}  // namespace

QString normalMac(const QString& text) {
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[-:. ]")));
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{12}$"));
    if (!hex.match(digits).hasMatch()) return {};
    digits = digits.toUpper();
    QStringList parts;
    for (int i = 0; i < 12; i += 2) parts << digits.mid(i, 2);
    return parts.join('-');
}

std::optional<RunRecord> parseRunRecord(const QByteArray& json, QString& why) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError) {
        why = QStringLiteral("not JSON (%1 at offset %2)").arg(err.errorString()).arg(err.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        why = QStringLiteral("not a results record (no JSON object)");
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    RunRecord r;
    r.result = text(o, "result");
    r.macAddress = normalMac(text(o, "macAddress"));
    r.started = text(o, "started");
    r.ended = text(o, "ended");
    const QDateTime start = QDateTime::fromString(r.started, Qt::ISODate);
    if (!o.value(QLatin1String("rows")).isArray() || (r.result != "pass" && r.result != "fail")) {
        why = QStringLiteral("not a results record (no \"rows\" or \"result\")");
        return std::nullopt;
    }
    if (r.macAddress.isEmpty()) {
        why = QStringLiteral("the record has no MAC address");
        return std::nullopt;
    }
    if (!start.isValid()) {
        why = QStringLiteral("the record's start time \"%1\" is not a date and time").arg(r.started);
        return std::nullopt;
    }
    r.runDay = start.date().toString(Qt::ISODate);
    r.startedUtc = start.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    r.station = text(o, "station");
    r.operatorName = text(o, "operator");
    r.softwareVersion = text(o, "softwareVersion");
    r.adapterKey = text(o, "adapterKey");
    r.serialNumber = text(o, "serialNumber");
    r.baseband = text(o, "baseband");
    r.elapsedSeconds = number(o, "elapsedSeconds");
    r.testSeconds = number(o, "testSeconds");
    r.timeScale = number(o, "timeScale");
    r.maskOffsetDb = number(o, "maskOffsetDb");
    r.failureReason = text(o, "failureReason");
    r.storedInAdapter = flag(o, "storedInAdapter");
    r.storeOutcome = text(o, "storeOutcome");
    for (const QJsonValue& v : o.value(QLatin1String("rows")).toArray()) {
        const QJsonObject ro = v.toObject();
        const auto row = number(ro, "row"), channel = number(ro, "channel");
        if (!row || !channel) {
            why = QStringLiteral("a row of the record has no row number or channel");
            return std::nullopt;
        }
        RunRow x;
        x.row = int(*row);
        x.channel = int(*channel);
        x.tag = text(ro, "tag");
        x.outputPowerDbm = number(ro, "outputPowerDbm").value_or(0);
        x.setPoint = int(number(ro, "setPoint").value_or(0));
        x.integrator = int(number(ro, "integrator").value_or(0));
        x.firstLobeDbc = number(ro, "firstLobeDbc").value_or(0);
        x.secondLobeDbc = number(ro, "secondLobeDbc").value_or(0);
        x.limitDbc = number(ro, "limitDbc");
        x.withinMask = flag(ro, "withinMask");
        x.passed = flag(ro, "pass");
        if (!x.passed) x.passed = x.withinMask;
        r.rows.push_back(std::move(x));
    }
    r.runId = text(o, "runId");
    if (r.runId.isEmpty()) {
        r.runId = QUuid::createUuidV5(kOlderRecords, (r.station + '|' + r.macAddress + '|' + r.started).toUtf8())
                      .toString(QUuid::WithoutBraces);
    } else if (QUuid::fromString(r.runId).isNull()) {
        why = QStringLiteral("the record's run id \"%1\" is not a UUID").arg(r.runId);
        return std::nullopt;
    } else {
        r.runId = QUuid::fromString(r.runId).toString(QUuid::WithoutBraces);
    }
    return r;
}

QByteArray runRecordJson(const RunRecord& r) {
    QJsonObject o{{"runId", r.runId},         {"station", r.station},           {"operator", r.operatorName},
                  {"adapterKey", r.adapterKey}, {"macAddress", r.macAddress},    {"serialNumber", r.serialNumber},
                  {"baseband", r.baseband},   {"started", r.started},           {"ended", r.ended},
                  {"softwareVersion", r.softwareVersion}, {"result", r.result}};
    const auto put = [&o](const char* key, const auto& v) {
        if (v) o.insert(QLatin1String(key), *v);
    };
    put("maskOffsetDb", r.maskOffsetDb);
    put("testSeconds", r.testSeconds);
    put("elapsedSeconds", r.elapsedSeconds);
    put("timeScale", r.timeScale);
    put("storedInAdapter", r.storedInAdapter);
    if (!r.failureReason.isEmpty()) o.insert("failureReason", r.failureReason);
    if (!r.storeOutcome.isEmpty()) o.insert("storeOutcome", r.storeOutcome);
    QJsonArray rows;
    for (const RunRow& x : r.rows) {
        QJsonObject ro{{"row", x.row},
                       {"tag", x.tag},
                       {"channel", x.channel},
                       {"outputPowerDbm", x.outputPowerDbm},
                       {"setPoint", x.setPoint},
                       {"integrator", x.integrator},
                       {"firstLobeDbc", x.firstLobeDbc},
                       {"secondLobeDbc", x.secondLobeDbc}};
        if (x.limitDbc) ro.insert("limitDbc", *x.limitDbc);
        if (x.withinMask) ro.insert("withinMask", *x.withinMask);
        if (x.passed) ro.insert("pass", *x.passed);
        rows.append(ro);
    }
    o.insert("rows", rows);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

}  // namespace kestview::results
