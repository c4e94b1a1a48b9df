#include "console.h"

#include <QEventLoop>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "hex_text.h"
#include "rid_names.h"

namespace kestview {

namespace {

// Names a polled record with its description. The name only labels the record, so a component
// that refuses it does not stop the open.
void nameRecord(Console& console, const Rid& rid, const char* id) {
    try {
        rid.setName(polledRidDescription(id));
    } catch (const AutomationError& e) {
        console.logEvent(2, QStringLiteral("naming record %1: ").arg(QLatin1String(id)) + e.text());
    }
}

}  // namespace

QString polledRidDescription(const char* id) {
    return nameRid(QString::fromLatin1(id).toLong(nullptr, 16)).value_or(QString());
}

QString bbpTypeHexText(qint32 bbpType) { return hexText(quint32(bbpType)); }

QString bbpModelName(const QString& hex) {
    if (hex == "3") return QStringLiteral("Alder");
    if (hex == "11") return QStringLiteral("BirchA");
    if (hex == "13") return QStringLiteral("BirchB");
    if (hex == "10") return QStringLiteral("BirchS");
    if (hex == "30") return QStringLiteral("Cedar");
    return QStringLiteral("Unknown");
}

QString macAddressText(const QByteArray& mac) {
    static constexpr int order[] = {1, 0, 3, 2, 5, 4};
    QStringList parts;
    for (int i : order) {
        const quint8 b = i < mac.size() ? quint8(mac[i]) : 0;
        parts << hexByte(b);
    }
    return parts.join('-');
}

QString serialNumberText(const QByteArray& bytes) {
    auto character = [](quint8 b) { return b <= 29 ? QString() : QString(QChar(b)); };
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        text += ' ' + character(quint8(bytes[i + 1]));
        text += ' ' + character(quint8(bytes[i]));
    }
    return text;
}

qint32 patternValue(const QString& text) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 16);
    return ok ? qint32(v) : 0;
}

Console::Console(QObject* parent) : QObject(parent) {
    refreshTmr_.setObjectName(QStringLiteral("RefreshTmr"));
    refreshTmr_.setParent(this);
}

Console::~Console() {
    refreshTmr_.stop();
    releaseAll();
}

void Console::setError(const QString& errMsg) {
    errorShown_ = true;
    errorText_ = errMsg;
    emit errorStatusChanged(true, errMsg);
}

void Console::clrstatusbar() {
    errorShown_ = false;
    errorText_.clear();
    emit errorStatusChanged(false, {});
}

void Console::waitSecs(float n) {
    double start = clock_.timer();
    QEventLoop loop;
    for (;;) {
        const double now = clock_.timer();
        if (now < start) start -= ConsoleClock::kSecondsPerDay;  // passed midnight
        const double left = double(n) - (now - start);
        if (left <= 0) return;
        // Wake at least every 20 ms so events keep flowing and the end is not overslept.
        const int ms = int(std::clamp(std::ceil(clock_.realMilliseconds(left)), 1.0, 20.0));
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

bool Console::between(qint32 value, qint32 low, qint32 high) {
    logEvent(4, QStringLiteral("between(%1, %2, %3)").arg(value).arg(low).arg(high));
    return low <= value && value <= high;
}

void Console::restartTX() {
    logEvent(3, QStringLiteral("restartTX()"));
    VireoObj.stopTest();
    VireoObj.continuousTx(TxPattern);
}

void Console::suspendPort() {
    logEvent(3, QStringLiteral("suspendPort()"));
    fetchAdapter();
    VireoObj.disablePort(0);
}

void Console::resumePort() {
    logEvent(3, QStringLiteral("resumePort()"));
    fetchAdapter();
    VireoObj.enablePort(0);
}

void Console::logEvent(int level, const QString& text) {
    if (trace_.active()) trace_.write(level, text);
}

void Console::fetchAdapter() { AdapterObj = AdaptersObj.item(AdapterKey); }

void Console::bindVireo() {
    VireoObj = AdapterObj.vireo();
    BbpRegsObj = VireoObj.bbpRegs();
    BbpTypeHex = bbpTypeHexText(BbpRegsObj.bbpType());
}

bool Console::SetObjects() {
    logEvent(3, QStringLiteral("SetObjects()"));
    // Every record the adapter has is fetched, also past one it does not have, so that no
    // record object is left from an adapter opened before; the first one missing is reported.
    const char* missing = nullptr;
    try {
        RidsObj = VireoObj.rids();
    } catch (const AutomationError& e) {
        logEvent(2, QStringLiteral("SetObjects error: ") + e.text());
        missing = "";  // no collection: no identifier was being fetched
    }
    const std::pair<Rid*, const char*> records[] = {
        {&RidChannel, kChannelRid}, {&RidTxRate, kTxRateRid}, {&RidPortType, kPortTypeRid},
        {&RidSsid, kSsidRid},       {&RidMacAddr, kMacAddrRid}, {&RidCommsQuality, kCommsQualityRid}};
    for (const auto& [rid, name] : records) {
        *rid = Rid();
        if (!RidsObj) continue;
        try {
            *rid = RidsObj.item(QString::fromLatin1(name));
            nameRecord(*this, *rid, name);
        } catch (const AutomationError& e) {
            logEvent(2, QStringLiteral("SetObjects error: ") + e.text());
            if (!missing) missing = name;
        }
    }
    if (!missing) return true;
    setError(QStringLiteral("Error Creating Rid Object ") + QString::fromLatin1(missing));
    waitSecs(2);
    return false;
}

QString Console::getSerial() {
    logEvent(3, QStringLiteral("getSerial()"));
    RidSerial = RidsObj.item(QString::fromLatin1(kSerialRid));
    nameRecord(*this, RidSerial, kSerialRid);
    return serialNumberText(RidSerial.ridAsByteArray());
}

void Console::releaseAdapterObjects() {
    CurrentReg = {};
    RidChannel = RidTxRate = RidPortType = RidSsid = RidMacAddr = RidCommsQuality = RidSerial = Rid();
    RidsObj = {};
    BbpRegsObj = {};
    VireoObj = {};
    AdapterObj = {};
}

void Console::releaseAll() {
    releaseAdapterObjects();
    AdaptersObj = {};
    RemoteObj = {};
}

}  // namespace kestview
