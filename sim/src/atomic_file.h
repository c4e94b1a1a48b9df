// Whole-file writes that replace the old file atomically (temporary file, fsync, rename).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vireo::sim {

// False (and the old file untouched) when the new content could not be written.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& content);
// nullopt when the file does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

}  // namespace vireo::sim
