#pragma once
// The files the simulated bench ships (the default bench, the instrument device files).
#include <filesystem>
#include <optional>
#include <string>

namespace vireo::sim {

// Finds `sim/<sub>/<name>`: below $ORU_SOURCE_DIR when set, else in the installation the running
// program belongs to (<bin>/../share/oru/<sub>/<name>), else in the source tree this library was
// built from. An installed program uses its installed files even where that source tree exists.
std::optional<std::filesystem::path> findDataFile(const std::filesystem::path& sub, const std::string& name);

}  // namespace vireo::sim
