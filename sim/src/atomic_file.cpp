#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace vireo::sim {

bool writeFileAtomically(const std::filesystem::path& path, const std::string& content, Durability durability) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::string tmp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0644) == 0;
    for (std::size_t done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += std::size_t(n);
    }
    ok = ok && (durability == Durability::Volatile || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return s.str();
}

}  // namespace vireo::sim
