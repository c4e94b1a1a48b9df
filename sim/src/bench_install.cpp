// Installing a bench: the registry entries a driver installer makes for each adapter, and a
// record of them so that they can be removed again.
#include <algorithm>
#include <cctype>
#include <vector>

#include "gateway/gateway_registry.h"
#include "registry/change_batch.h"
#include "registry_key.h"
#include "vireo/sim/bench.h"
#include "words.h"

namespace vireo::sim {

namespace {

std::string registryError(const std::string& what, LSTATUS s) {
    return what + " (registry error " + std::to_string(s) + ")";
}

struct Installed {
    std::string classKey;
    std::string service;
};

std::vector<Installed> installedEntries() {
    std::vector<Installed> out;
    RegistryKey adapters;
    if (RegistryKey::open(HKEY_LOCAL_MACHINE, std::string(kBenchKey) + "\\Adapters", KEY_READ, adapters)) return out;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(adapters.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        RegistryKey entry;
        if (RegistryKey::open(adapters.get(), name, KEY_READ, entry)) continue;
        out.push_back({name, entry.text("ServiceName").value_or("")});
    }
    return out;
}

bool exists(const std::string& path) {
    RegistryKey k;
    return RegistryKey::open(HKEY_LOCAL_MACHINE, path, KEY_READ, k) == ERROR_SUCCESS;
}

void check(LSTATUS s, const std::string& what) {
    if (s != ERROR_SUCCESS) throw BenchError(registryError(what, s));
}

}  // namespace

std::optional<std::filesystem::path> installedBench() {
    RegistryKey bench;
    if (RegistryKey::open(HKEY_LOCAL_MACHINE, kBenchKey, KEY_READ, bench)) return std::nullopt;
    auto file = bench.text("BenchFile");
    if (!file || file->empty()) return std::nullopt;
    return std::filesystem::path(*file);
}

bool uninstallBench() {
    oru::registry::ChangeBatch batch;  // the bench's keys go in one rewrite of the hive
    const bool had = installedBench().has_value();
    for (const Installed& e : installedEntries()) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kNetworkClassKey) + "\\" + e.classKey).c_str());
        if (!e.service.empty()) RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kServicesKey) + "\\" + e.service).c_str());
    }
    const LSTATUS s = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kBenchKey);
    unregisterGateway();
    const LSTATUS stored = batch.commit();
    return (had || s == ERROR_SUCCESS) && stored == ERROR_SUCCESS;
}

void installBench(const BenchSpec& bench) {
    // The whole installation (or, when it fails, its removal) reaches the hive in one rewrite.
    oru::registry::ChangeBatch batch;
    // Entries of the bench being replaced may be reused; anything else must not be overwritten.
    std::vector<Installed> ours = installedEntries();
    auto isOurs = [&](const std::string& classKey, const std::string& service) {
        for (const auto& e : ours)
            if ((!classKey.empty() && equalsNoCase(e.classKey, classKey)) || (!service.empty() && equalsNoCase(e.service, service)))
                return true;
        return false;
    };
    for (const AdapterSpec& a : bench.adapters) {
        if (exists(std::string(kNetworkClassKey) + "\\" + a.key) && !isOurs(a.key, ""))
            throw BenchError(bench.file.string() + ": the network adapter key \"" + a.key +
                             "\" is already in the registry and does not belong to a bench; nothing was installed");
        if (exists(std::string(kServicesKey) + "\\" + a.service) && !isOurs("", a.service))
            throw BenchError(bench.file.string() + ": the service \"" + a.service +
                             "\" is already in the registry and does not belong to a bench; nothing was installed");
    }
    uninstallBench();
    try {
        RegistryKey root;
        check(RegistryKey::create(HKEY_LOCAL_MACHINE, kBenchKey, root), "cannot create the bench's registry key");
        for (const AdapterSpec& a : bench.adapters) {
            // Recorded first, so that a failure part-way can remove what was written.
            RegistryKey record;
            check(RegistryKey::create(root.get(), "Adapters\\" + a.key, record), "cannot record adapter " + a.key);
            check(record.setText("ServiceName", a.service), "cannot record adapter " + a.key);

            RegistryKey cls;
            check(RegistryKey::create(HKEY_LOCAL_MACHINE, std::string(kNetworkClassKey) + "\\" + a.key, cls),
                  "cannot create the network adapter key " + a.key);
            const std::string version = std::to_string(a.driverVersion >> 16) + "." + std::to_string(a.driverVersion & 0xFFFF);
            check(cls.setText("DriverDesc", a.driverDesc), "cannot write DriverDesc of " + a.key);
            check(cls.setText("Title", a.title), "cannot write Title of " + a.key);
            check(cls.setText("ServiceName", a.service), "cannot write ServiceName of " + a.key);
            check(cls.setText("DriverVersion", version), "cannot write DriverVersion of " + a.key);
            check(cls.setText("ProviderName", "Oru"), "cannot write ProviderName of " + a.key);

            RegistryKey service;
            check(RegistryKey::create(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + a.service, service),
                  "cannot create the service key " + a.service);
            check(service.setText("DisplayName", a.driverDesc), "cannot write the service " + a.service);
            check(service.setDword("Type", 1), "cannot write the service " + a.service);
            check(service.setDword("Start", 3), "cannot write the service " + a.service);
            RegistryKey params;
            check(RegistryKey::create(service.get(), "Parameters", params), "cannot create the Parameters of " + a.service);
            check(params.setText("BenchFile", bench.file.string()), "cannot write the Parameters of " + a.service);
            check(params.setText("AdapterKey", a.key), "cannot write the Parameters of " + a.service);
        }
        check(root.setText("BenchFile", bench.file.string()), "cannot record the bench file");
        registerGateway(bench);
        check(batch.commit(), "cannot write the registry");
    } catch (const BenchError&) {
        uninstallBench();
        throw;
    }
}

}  // namespace vireo::sim
