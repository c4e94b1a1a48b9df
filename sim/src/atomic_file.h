// Whole-file writes that replace the old file atomically (temporary file, fsync, rename).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vireo::sim {

// Whether the new content must be on disk before it replaces the old: non-volatile state is synced;
// volatile state (lost with the processes anyway) is not, which keeps frequent replacements cheap.
enum class Durability { Synced, Volatile };

// False (and the old file untouched) when the new content could not be written.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& content,
                         Durability durability = Durability::Synced);
// nullopt when the file does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

}  // namespace vireo::sim
