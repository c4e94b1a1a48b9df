#include "gateway_registry.h"

#include "../registry_key.h"
#include "instruments/gateway_config.h"

namespace vireo::sim {

namespace cfg = oru::instruments;

namespace {
constexpr const char* kWriter = "vireo-bench";
}

bool registerGateway(const BenchSpec& bench, int port) {
    RegistryKey key;
    // A gateway entered by hand (a real bench) is left as it is.
    if (RegistryKey::open(HKEY_LOCAL_MACHINE, cfg::kGatewayKey, KEY_READ, key) == ERROR_SUCCESS &&
        key.text(cfg::kWrittenByValue) != std::optional<std::string>(kWriter))
        return false;
    LSTATUS s = RegistryKey::create(HKEY_LOCAL_MACHINE, cfg::kGatewayKey, key);
    if (s == ERROR_SUCCESS) s = key.setText(cfg::kAddressValue, "127.0.0.1");
    if (s == ERROR_SUCCESS) s = key.setDword(cfg::kPortValue, DWORD(port ? port : bench.gatewayPort));
    if (s == ERROR_SUCCESS && bench.spectrumAnalyzer && bench.spectrumAnalyzer->gpibAddress)
        s = key.setDword(cfg::kAnalyzerAddressValue, DWORD(*bench.spectrumAnalyzer->gpibAddress));
    if (s == ERROR_SUCCESS) s = key.setText(cfg::kWrittenByValue, kWriter);
    if (s != ERROR_SUCCESS)
        throw BenchError("cannot write the instrument gateway's registry entries (registry error " + std::to_string(s) + ")");
    return true;
}

bool releaseGateway(const BenchSpec& bench, int port) {
    RegistryKey key;
    if (RegistryKey::open(HKEY_LOCAL_MACHINE, cfg::kGatewayKey, KEY_READ | KEY_WRITE, key) != ERROR_SUCCESS) return true;
    if (key.text(cfg::kWrittenByValue) != std::optional<std::string>(kWriter) ||
        key.dword(cfg::kPortValue) != std::optional<DWORD>(DWORD(port)) || port == bench.gatewayPort)
        return true;
    return key.setDword(cfg::kPortValue, DWORD(bench.gatewayPort)) == ERROR_SUCCESS;
}

void unregisterGateway() {
    RegistryKey key;
    if (RegistryKey::open(HKEY_LOCAL_MACHINE, cfg::kGatewayKey, KEY_READ, key) != ERROR_SUCCESS) return;
    if (key.text(cfg::kWrittenByValue) != std::optional<std::string>(kWriter)) return;
    key = RegistryKey();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, cfg::kGatewayKey);
}

}  // namespace vireo::sim
