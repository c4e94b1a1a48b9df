// The manufacturing test's adapter, console, production data and firmware ports over the Console's
// component wrappers and the main window it belongs to.
#pragma once

#include "console.h"
#include "mask_test.h"
#include "store_results.h"
#include "test_equipment.h"

namespace kestview::mfgtest {

class ConsoleAdapterPort final : public MaskTestAdapter {
public:
    explicit ConsoleAdapterPort(Console& console) : c_(console) {}
    int bbpType() override;
    std::string bbpTypeHex() override;
    int readRegister(const std::string& name) override;
    void writeRegister(const std::string& name, int value) override;
    void disablePort(int port) override;
    void enablePort(int port) override;
    void setPortType(int value) override;
    void initPhy() override;
    void resetPhy() override;
    void setChannel(int channel) override;
    void continuousTx(int pattern) override;
    void stopTest() override;
    void restartTX() override;

private:
    Console& c_;
};

// The console around the test: waits on the console clock, TestingFlag, the main window's channel
// options (found by name, so the test also runs without a main window), its status timer, and
// message boxes through the console's dialogs. The window adds its channel boxes and captions;
// the headless run its progress lines.
class ConsoleTestHost : public MaskTestHost {
public:
    explicit ConsoleTestHost(Console& console, QWidget* dialogParent = nullptr) : c_(console), parent_(dialogParent) {}
    void waitSecs(double seconds) override;
    bool testing() const override;
    void setTesting(bool on) override;
    double timeOfDay() override;
    // The numeric value of RadioOpt(channel)'s caption ("2412mhz") in MHz; the channel plan
    // when there is no main window.
    double channelFrequencyHz(int channel) override;
    void toggleAllowedChannel(int channel) override;
    void markChannel(int channel) override;
    void resetChannelColours() override;
    bool statusTimerEnabled() override;
    void setStatusTimerEnabled(bool on) override;
    void message(const std::string& text, const std::string& title, bool critical) override;
    void reportError(const std::string& text) override;

protected:
    Console& c_;
    QWidget* parent_;
};

class ConsolePdaPort final : public ProductionDataPort {
public:
    explicit ConsolePdaPort(Console& console);
    bool retrieve() override;
    std::vector<StoredRecord> records() override;
    int removePdr(const std::string& key) override;
    bool addPdr(std::uint16_t code) override;
    void setPdrData(const std::string& key, const std::vector<std::uint8_t>& data) override;
    bool commit() override;

private:
    PDA pda_;
};

class ConsoleFirmwarePort final : public FirmwarePort {
public:
    explicit ConsoleFirmwarePort(Console& console);
    bool loadHexFile(const std::string& path) override;
    bool makeCalPdrs() override;
    bool plugImage() override;
    int recordsPlugged() override;
    bool flashImage(const std::function<void(long, long, long)>& progress) override;
    int totalImageBlocks() override;
    std::string runningFileNames() override;
    int runningBuild() override;

private:
    Console& c_;
    Firmware firmware_;
};

// initTestEquip, and the console's instrument flags and why they are not set.
void initTestEquipment(Console& console, instruments::TestEquipment& equipment);

// "Flash Test Results" on the open adapter: the rows into its production data area, then, when
// `imagePath` is given, the station image plugged and downloaded. A failed call ends it with the
// reason in the outcome's failure.
StoreOutcome storeInAdapter(Console& console, const TestRows& rows, const std::string& imagePath,
                            const std::function<void(long, long, long)>& progress = {},
                            const std::function<void(int)>& imageBlocks = {});
// The same for a test run: a run that did not pass is refused with its reason, nothing written.
StoreOutcome storeRunInAdapter(Console& console, const MaskTestRun& run, const std::string& imagePath,
                               const std::function<void(long, long, long)>& progress = {},
                               const std::function<void(int)>& imageBlocks = {});

}  // namespace kestview::mfgtest
