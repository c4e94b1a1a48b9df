#include "data_file.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace vireo::sim {

namespace fs = std::filesystem;

std::optional<fs::path> findDataFile(const fs::path& sub, const std::string& name) {
    const fs::path relative = fs::path("sim") / sub / name;
    std::vector<fs::path> candidates;
    if (const char* src = std::getenv("ORU_SOURCE_DIR"); src && *src) candidates.push_back(fs::path(src) / relative);
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) candidates.push_back(exe.parent_path().parent_path() / "share" / "oru" / sub / name);
#ifdef ORU_SOURCE_DIR
    candidates.push_back(fs::path(ORU_SOURCE_DIR) / relative);
#endif
    for (const auto& c : candidates)
        if (fs::is_regular_file(c, ec)) return c;
    return std::nullopt;
}

}  // namespace vireo::sim
