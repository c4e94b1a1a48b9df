#include "listing_files.h"

#include <unistd.h>

#include <cstdlib>

namespace kestview::bbp {

namespace fs = std::filesystem;

namespace {
bool writable(const fs::path& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

fs::path userDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && fs::path(xdg).is_absolute()) return xdg;
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "/") / ".local" / "share";
}

std::size_t nameStart(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}
}  // namespace

fs::path configFolder(const fs::path& programFolder, const std::string& name) {
    const fs::path beside = programFolder / name;
    std::error_code ec;
    const bool usable = fs::is_directory(beside, ec) ? writable(beside)
                        : !fs::exists(beside, ec) && writable(programFolder);
    return usable ? beside : userDataFolder() / "oru" / name;
}

std::string saveBase(const std::string& chosen) {
    const auto dot = chosen.find('.', nameStart(chosen));
    return dot == std::string::npos ? chosen : chosen.substr(0, dot);
}

RestoreKinds restoreKinds(const std::string& chosen) {
    const std::string_view name = std::string_view(chosen).substr(nameStart(chosen));
    return {name.find(".ini") != std::string_view::npos, name.find(".c") != std::string_view::npos,
            name.find(".pda") != std::string_view::npos};
}

}  // namespace kestview::bbp
