#include "hive_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>

#include "hive_text.h"

namespace oru::registry {

namespace fs = std::filesystem;

fs::path hivePath() {
    if (const char* p = std::getenv("ORU_REGISTRY"); p && *p) return p;
    if (const char* p = std::getenv("XDG_DATA_HOME"); p && *p) return fs::path(p) / "oru" / "registry.reg";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "oru" / "registry.reg";
}

namespace {

// Holds an flock on the lock file beside the hive for its lifetime.
class FileLock {
public:
    FileLock(const fs::path& hive, int operation) {
        const fs::path lockPath = hive.string() + ".lock";
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        while (::flock(fd_, operation) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The whole file; nullopt when it could not be read; "" when it does not exist.
std::optional<std::string> readFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
    std::string text;
    char buf[65536];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buf, std::size_t(n));
    }
    ::close(fd);
    return text;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

void syncDirectory(const fs::path& path) {
    const int dir = ::open(path.parent_path().empty() ? "." : path.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// Writes `text` to a new file beside `path` and renames it over `path`: readers see the old hive
// or the new one, never a part. Like the platform's registry, a change reaches the disk lazily;
// RegFlushKey (flushHive) forces it.
bool replaceFile(const fs::path& path, const std::string& text) {
    std::string tmp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    const bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, text);
    if (::close(fd) != 0 || !ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

// The last hive parsed, by file and content, so unchanged files are not parsed again.
struct Cache {
    std::mutex mutex;
    fs::path path;
    std::string text;
    bool valid = false;
    std::shared_ptr<const Hive> hive;  // null: the text does not parse
};
Cache& cache() {
    static Cache c;
    return c;
}

// Parses `text` (or takes it from the cache); reports a syntax error once per content.
std::shared_ptr<const Hive> parsed(const fs::path& path, std::string text) {
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    if (c.valid && c.path == path && c.text == text) return c.hive;
    std::shared_ptr<const Hive> hive;
    try {
        hive = std::make_shared<const Hive>(parseHive(text));
    } catch (const HiveSyntaxError& e) {
        std::cerr << "registry: " << path.string() << ":" << e.line << ": " << e.what()
                  << " (the hive is left as it is; every registry call fails until it is repaired)\n";
    }
    c.path = path;
    c.text = std::move(text);
    c.valid = true;
    c.hive = hive;
    return hive;
}

void remember(const fs::path& path, std::string text, std::shared_ptr<const Hive> hive) {
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    c.path = path;
    c.text = std::move(text);
    c.valid = true;
    c.hive = std::move(hive);
}

}  // namespace

LSTATUS readHive(std::shared_ptr<const Hive>& hive) {
    const fs::path path = hivePath();
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        hive = std::make_shared<const Hive>();
        return ERROR_SUCCESS;
    }
    std::optional<std::string> text;
    {
        FileLock lock(path, LOCK_SH);
        text = readFile(path);
    }
    if (!text) return ERROR_BADDB;
    hive = parsed(path, std::move(*text));
    return hive ? ERROR_SUCCESS : ERROR_BADDB;
}

LSTATUS changeHive(const std::function<LSTATUS(Hive&)>& change) {
    const fs::path path = hivePath();
    std::error_code ec;
    if (!path.parent_path().empty()) fs::create_directories(path.parent_path(), ec);
    FileLock lock(path, LOCK_EX);
    if (!lock.held()) return ERROR_CANTWRITE;
    std::optional<std::string> text = readFile(path);
    if (!text) return ERROR_BADDB;
    const bool existed = !text->empty() || fs::exists(path, ec);
    std::shared_ptr<const Hive> current = text->empty() && !existed ? std::make_shared<const Hive>()
                                                                    : parsed(path, std::move(*text));
    if (!current) return ERROR_BADDB;
    auto next = std::make_shared<Hive>(*current);
    const LSTATUS status = change(*next);
    if (status != ERROR_SUCCESS || *next == *current) return status;
    std::string out = formatHive(*next);
    // The file must give back exactly this hive; otherwise the old file stays.
    try {
        if (!(parseHive(out) == *next)) return ERROR_CANTWRITE;
    } catch (const HiveSyntaxError&) {
        return ERROR_CANTWRITE;
    }
    if (!replaceFile(path, out)) return ERROR_CANTWRITE;
    remember(path, std::move(out), std::move(next));
    return ERROR_SUCCESS;
}

LSTATUS flushHive() {
    const fs::path path = hivePath();
    std::error_code ec;
    if (!fs::exists(path, ec)) return ERROR_SUCCESS;
    FileLock lock(path, LOCK_SH);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return ERROR_CANTWRITE;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    syncDirectory(path);
    return ok ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

}  // namespace oru::registry
