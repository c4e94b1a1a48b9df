// The hive file: read under a shared lock (parsed once per distinct content), changed under an
// exclusive lock and replaced atomically, once per change or once per ChangeBatch. A hive that
// cannot be parsed is never written.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "hive.h"

namespace oru::registry {

// $ORU_REGISTRY, else $XDG_DATA_HOME/oru/registry.reg, else ~/.local/share/oru/registry.reg.
std::filesystem::path hivePath();

// The current hive (inside a ChangeBatch: the batch's), or ERROR_BADDB when the file cannot be parsed (reported on stderr with file
// and line, once per content) or read.
LSTATUS readHive(std::shared_ptr<const Hive>& hive);

// Runs `change` on the current hive under the exclusive lock and, when it succeeds and the hive
// differs, writes it atomically; inside a ChangeBatch the write waits for the batch's end. A
// change either succeeds or leaves the hive as it was. Returns change's status, ERROR_BADDB for an
// unreadable hive or ERROR_CANTWRITE when the new file could not be written (the old one stays).
LSTATUS changeHive(const std::function<LSTATUS(Hive&)>& change);

// Forces the hive file (and its folder entry) to the disk.
LSTATUS flushHive();

}  // namespace oru::registry
