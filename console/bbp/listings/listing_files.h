// Where the listings live and how a chosen file name maps to them.
#pragma once

#include <filesystem>
#include <string>

namespace kestview::bbp {

// The configuration folder `name` ("CFGALDER") beside the program when that folder can be written
// (or, not existing yet, created); else under the user's data folder: $XDG_DATA_HOME/oru/<name>,
// with $HOME/.local/share for an unset or relative $XDG_DATA_HOME.
std::filesystem::path configFolder(const std::filesystem::path& programFolder, const std::string& name);

// The chosen save name without the extension: the path up to the first "." of its last component
// (a folder's dots do not count); a file name without "." is used whole.
std::string saveBase(const std::string& chosen);

// Which readers a restore runs, tested independently and case-sensitively on the file's own name.
struct RestoreKinds {
    bool ini = false, c = false, pda = false;
};
RestoreKinds restoreKinds(const std::string& chosen);

}  // namespace kestview::bbp
