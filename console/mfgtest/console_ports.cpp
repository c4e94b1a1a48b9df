#include "console_ports.h"

#include <QColor>
#include <QRadioButton>
#include <QString>
#include <cmath>

#include "automation_error.h"
#include "firmware_objects.h"
#include "record_objects.h"
#include "vireo_object.h"
#include "baseband_objects.h"
#include "channel_option_style.h"

namespace kestview::mfgtest {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// A component call answered "not done" becomes a failure the sequence reports.
void must(bool done, const char* what) {
    if (!done) throw std::runtime_error(std::string(what) + " was refused by the adapter");
}

}  // namespace

int ConsoleAdapterPort::bbpType() { return c_.BbpRegsObj.bbpType(); }
std::string ConsoleAdapterPort::bbpTypeHex() { return c_.BbpTypeHex.toStdString(); }
int ConsoleAdapterPort::readRegister(const std::string& name) { return c_.BbpRegsObj.item(q(name)).value(); }
void ConsoleAdapterPort::writeRegister(const std::string& name, int value) { c_.BbpRegsObj.item(q(name)).setValue(value); }
void ConsoleAdapterPort::disablePort(int port) { c_.VireoObj.disablePort(qint16(port)); }
void ConsoleAdapterPort::enablePort(int port) { c_.VireoObj.enablePort(qint16(port)); }
void ConsoleAdapterPort::setPortType(int value) { c_.RidPortType.setAsInteger(1, value); }
void ConsoleAdapterPort::initPhy() { c_.VireoObj.initPhy(); }
void ConsoleAdapterPort::resetPhy() { c_.VireoObj.resetPhy(); }
void ConsoleAdapterPort::setChannel(int channel) { must(c_.VireoObj.setChannel(channel), "SetChannel"); }
void ConsoleAdapterPort::continuousTx(int pattern) { must(c_.VireoObj.continuousTx(pattern), "ContinuousTx"); }
void ConsoleAdapterPort::stopTest() { c_.VireoObj.stopTest(); }
void ConsoleAdapterPort::restartTX() { c_.restartTX(); }

void ConsoleTestHost::waitSecs(double seconds) { c_.waitSecs(float(seconds)); }
bool ConsoleTestHost::testing() const { return c_.TestingFlag; }
void ConsoleTestHost::setTesting(bool on) { c_.TestingFlag = on; }
double ConsoleTestHost::timeOfDay() { return c_.clock().timer(); }

namespace {

QRadioButton* radioOpt(Console& c, int channel) {
    QWidget* main = c.mainWindow();
    return main ? main->findChild<QRadioButton*>(QStringLiteral("RadioOpt(%1)").arg(channel)) : nullptr;
}

}  // namespace

double ConsoleTestHost::channelFrequencyHz(int channel) {
    if (QRadioButton* o = radioOpt(c_, channel)) {
        const QString caption = o->toolTip().isEmpty() ? o->text() : o->toolTip();
        return std::strtod(caption.toLatin1().constData(), nullptr) * 1e6;
    }
    return (channel == 14 ? 2484.0 : 2407.0 + 5.0 * channel) * 1e6;
}

void ConsoleTestHost::toggleAllowedChannel(int) {}

void ConsoleTestHost::markChannel(int channel) {
    if (QRadioButton* o = radioOpt(c_, channel)) {
        o->setProperty("optionBackground", QColor(255, 255, 128));
        applyChannelOptionStyle(o);
        o->repaint();
    }
}

// Back to the option's normal look: black text on the window's own background.
void ConsoleTestHost::resetChannelColours() {
    for (int ch = 1; ch <= 14; ++ch) {
        if (QRadioButton* o = radioOpt(c_, ch)) {
            o->setProperty("optionBackground", QColor());
            o->setProperty("optionText", QColor(0, 0, 0));
            applyChannelOptionStyle(o);
        }
    }
}

bool ConsoleTestHost::statusTimerEnabled() { return c_.refreshTimer().isActive(); }
void ConsoleTestHost::setStatusTimerEnabled(bool on) {
    if (on) c_.refreshTimer().start();
    else c_.refreshTimer().stop();
}

void ConsoleTestHost::message(const std::string& text, const std::string& title, bool critical) {
    c_.dialogs().message(parent_, q(text), q(title), critical ? Dialogs::Icon::Critical : Dialogs::Icon::None);
}

void ConsoleTestHost::reportError(const std::string& text) { c_.setError(q(text)); }

ConsolePdaPort::ConsolePdaPort(Console& console) : pda_(console.VireoObj.pda()) {}
bool ConsolePdaPort::retrieve() { return pda_.retrieve(); }
std::vector<StoredRecord> ConsolePdaPort::records() {
    std::vector<StoredRecord> out;
    for (const PDR& item : pda_.all()) {
        StoredRecord r;
        r.code = std::uint16_t(item.code());
        for (const qint32 byte : item.pdr()) r.data.push_back(std::uint8_t(byte));  // the data bytes
        out.push_back(std::move(r));
    }
    return out;
}
int ConsolePdaPort::removePdr(const std::string& key) { return pda_.removePDR(q(key)); }
bool ConsolePdaPort::addPdr(std::uint16_t code) { return pda_.addPDR(code); }
void ConsolePdaPort::setPdrData(const std::string& key, const std::vector<std::uint8_t>& data) {
    pda_.item(q(key)).setArrayOfUnsignedChar(QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())));
}
bool ConsolePdaPort::commit() { return pda_.commit(); }

ConsoleFirmwarePort::ConsoleFirmwarePort(Console& console) : c_(console), firmware_(console.VireoObj.firmware()) {}
bool ConsoleFirmwarePort::loadHexFile(const std::string& path) { return firmware_.loadHEXFile(q(path)); }
bool ConsoleFirmwarePort::makeCalPdrs() { return firmware_.makeCalPdrs(); }
bool ConsoleFirmwarePort::plugImage() { return firmware_.plugImage(); }
int ConsoleFirmwarePort::recordsPlugged() { return firmware_.hexRecordsPlugged(); }
bool ConsoleFirmwarePort::flashImage(const std::function<void(long, long, long)>& progress) {
    FlashProgressConnection connection(firmware_, [&](qint32 n, qint32 length, qint32 address) {
        if (progress) progress(n, length, address);
    });
    return firmware_.flashImage();
}
int ConsoleFirmwarePort::totalImageBlocks() { return firmware_.totalImageBlocks(); }
// Record FFFF: a counted text, which the record's text value reads in its characters' order.
std::string ConsoleFirmwarePort::runningFileNames() {
    return c_.RidsObj.item(QStringLiteral("ffff")).ridStringValue().toStdString();
}
int ConsoleFirmwarePort::runningBuild() { return c_.RidsObj.item(QStringLiteral("fffe")).getAsInteger(1); }

void initTestEquipment(Console& c, instruments::TestEquipment& equipment) {
    equipment.initTestEquip();
    c.PowerMeterOk = equipment.PowerMeterOk;
    c.AnalyzerOk = equipment.AnalyzerOk;
    c.InstrumentsNotReady = QString::fromStdString(equipment.notReadyText());
}

StoreOutcome storeRunInAdapter(Console& console, const MaskTestRun& run, const std::string& imagePath,
                               const std::function<void(long, long, long)>& progress,
                               const std::function<void(int)>& imageBlocks) {
    if (!run.passed) {
        StoreOutcome refused = refusedStore(run.failure);
        refused.image = imagePath;
        return refused;
    }
    return storeInAdapter(console, run.rows, imagePath, progress, imageBlocks);
}

StoreOutcome storeInAdapter(Console& console, const TestRows& rows, const std::string& imagePath,
                            const std::function<void(long, long, long)>& progress,
                            const std::function<void(int)>& imageBlocks) {
    StoreOutcome outcome;
    try {
        ConsolePdaPort pda(console);
        outcome = storeProductionData(rows, pda);
        outcome.image = imagePath;
        if (outcome.pdaStored && !imagePath.empty()) {
            ConsoleFirmwarePort firmware(console);
            if (imageBlocks) imageBlocks(firmware.totalImageBlocks());
            flashStationImage(imagePath, firmware, progress, outcome);
        }
    } catch (const std::exception& e) {
        outcome.failure = e.what();
    }
    return outcome;
}

}  // namespace kestview::mfgtest
