#include <gtest/gtest.h>

#include <fstream>

#include "registry_key.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;
using TestBench = vireo::sim::testing::TestBench;

namespace {
std::optional<std::string> value(const std::string& path, const char* name) {
    RegistryKey k;
    if (RegistryKey::open(HKEY_LOCAL_MACHINE, path, KEY_READ, k)) return std::nullopt;
    return k.text(name);
}
const std::string classKey = std::string(kNetworkClassKey) + "\\";
const std::string services = std::string(kServicesKey) + "\\";
}  // namespace

TEST(BenchInstall, WritesClassKeysAndServiceParameters) {
    TestBench bench;
    const struct {
        const char* key;
        const char* service;
        const char* desc;
    } adapters[] = {{"0001", "VIREO1", "Vireo 802.11b PC Card (Alder)"},
                    {"0004", "ETHLAN1", "Fast Ethernet Adapter"}};
    for (const auto& a : adapters) {
        EXPECT_EQ(value(classKey + a.key, "DriverDesc"), a.desc);
        EXPECT_EQ(value(classKey + a.key, "ServiceName"), a.service);
        EXPECT_EQ(value(services + a.service + "\\Parameters", "AdapterKey"), a.key);
        EXPECT_EQ(value(services + a.service + "\\Parameters", "BenchFile"), bench.benchFile().string());
    }
    EXPECT_EQ(installedBench(), bench.benchFile());

    // Subkeys of the class key are the bench's adapters, in bench order.
    RegistryKey cls;
    ASSERT_EQ(RegistryKey::open(HKEY_LOCAL_MACHINE, kNetworkClassKey, KEY_READ, cls), ERROR_SUCCESS);
    std::vector<std::string> keys;
    char name[32];
    for (DWORD i = 0, len = sizeof name; RegEnumKeyExA(cls.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) == 0;
         ++i, len = sizeof name)
        keys.emplace_back(name);
    EXPECT_EQ(keys, (std::vector<std::string>{"0001", "0002", "0003", "0004"}));

    EXPECT_TRUE(uninstallBench());
    EXPECT_FALSE(installedBench());
    EXPECT_FALSE(value(classKey + "0001", "DriverDesc"));
    EXPECT_FALSE(value(services + "VIREO1\\Parameters", "AdapterKey"));
}

TEST(BenchInstall, ForeignEntriesAreNeverOverwritten) {
    TestBench bench;
    ASSERT_TRUE(uninstallBench());
    RegistryKey foreign;
    ASSERT_EQ(RegistryKey::create(HKEY_LOCAL_MACHINE, classKey + "0002", foreign), ERROR_SUCCESS);
    ASSERT_EQ(foreign.setText("DriverDesc", "Someone else's adapter"), ERROR_SUCCESS);
    try {
        installBench(loadBench(bench.benchFile()));
        FAIL() << "installed over a foreign key";
    } catch (const BenchError& e) {
        EXPECT_NE(std::string(e.what()).find("\"0002\" is already in the registry"), std::string::npos) << e.what();
    }
    EXPECT_EQ(value(classKey + "0002", "DriverDesc"), "Someone else's adapter");
    EXPECT_FALSE(value(classKey + "0001", "DriverDesc"));  // nothing half-installed
    EXPECT_FALSE(installedBench());
}

TEST(BenchInstall, ReinstallingReplacesThePreviousBench) {
    TestBench bench;
    const std::string other = R"({"adapters":[{"key":"0007","service":"VIREO7","driverDesc":"Seven","baseband":"cedar",
        "mac":"00:60:1D:00:00:07"}]})";
    const auto file = bench.benchFile().parent_path() / "other.json";
    std::ofstream(file) << other;
    installBench(loadBench(file));
    EXPECT_EQ(value(classKey + "0007", "DriverDesc"), "Seven");
    EXPECT_FALSE(value(classKey + "0001", "DriverDesc"));
    EXPECT_FALSE(value(services + "VIREO1\\Parameters", "AdapterKey"));
}
