// A console on the default bench with its instruments: the simulated gateway in this process, its
// port in the scratch registry, the real instrument drivers, and the Cedar adapter (the one on
// the RF cable) open. Files the test writes go to scratch folders.
#pragma once

#include <QDir>
#include <QTemporaryDir>

#include "console_fixture.h"
#include "instruments/gateway_config.h"
#include "registry/winreg.h"
#include "test_equipment.h"
#include "vireo/sim/instrument_gateway.h"

namespace kestview::mfgtest::testing {

inline const QString kCedarKey = QStringLiteral("0003");
inline constexpr int kAnalyzerAddress = 18;

class BenchTest : public kestview::testing::ConsoleTest {
protected:
    // The default bench, or the given bench text.
    explicit BenchTest(std::optional<std::string> benchJson = std::nullopt)
        : ConsoleTest(std::move(benchJson)), gateway_(benchSpec()) {
        qputenv("XDG_DATA_HOME", dataHome_.path().toUtf8());
        previous_ = QDir::currentPath();
        QDir::setCurrent(workDir_.path());
        const DWORD port = DWORD(gateway_.listen(0));
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, oru::instruments::kGatewayKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, oru::instruments::kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
        RegCloseKey(key);
    }
    ~BenchTest() override { QDir::setCurrent(previous_); }

    vireo::sim::InstrumentGateway& gateway() { return gateway_; }
    instruments::TestEquipment& equipment() { return equipment_; }
    QString dataHome() const { return dataHome_.path(); }
    QString workDir() const { return workDir_.path(); }

private:
    QTemporaryDir dataHome_, workDir_;
    QString previous_;
    vireo::sim::InstrumentGateway gateway_;
    instruments::TestEquipment equipment_{[](const std::string&) {}};
};

}  // namespace kestview::mfgtest::testing
