// The installed simulated bench: its devices, their state folders and its registry entries.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vireo/sim/bench_file.h"
#include "vireo/sim/device.h"

namespace vireo::sim {

// $ORU_BENCH_STATE, else $XDG_STATE_HOME/oru/bench, else ~/.local/state/oru/bench.
std::filesystem::path stateRoot();
// The folder that holds one adapter's non-volatile state.
std::filesystem::path adapterStateDir(const BenchSpec& bench, const AdapterSpec& adapter);

// The process's device for `adapterKey` of the bench in `benchFile`: the same device every time
// while the bench file is unchanged. Throws BenchError for an unusable file or an unknown key.
std::shared_ptr<Device> openDevice(const std::filesystem::path& benchFile, std::string_view adapterKey);
// Drops the process's devices (their volatile state is lost; the next open powers them on again).
void forgetDevices();

// Registry entries, as a driver installer makes them.
inline constexpr const char* kNetworkClassKey =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
inline constexpr const char* kServicesKey = "System\\CurrentControlSet\\Services";
inline constexpr const char* kBenchKey = "Software\\Oru\\Vireo Bench";

// Writes the bench's adapters into the registry (replacing an installed bench). Refuses, with
// nothing changed, when an adapter's class key or service exists and is not the bench's.
void installBench(const BenchSpec& bench);
// Removes every entry the installed bench made; false when no bench is installed.
bool uninstallBench();
// The bench file of the installed bench.
std::optional<std::filesystem::path> installedBench();

}  // namespace vireo::sim
