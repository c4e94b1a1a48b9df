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
#include "registry/change_batch.h"

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
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) text.reserve(std::size_t(st.st_size));
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
// RegFlushKey (flushHive, or `durable` for a batch that called it) forces it.
bool replaceFile(const fs::path& path, const std::string& text, bool durable) {
    std::string tmp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    const bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, text) && (!durable || ::fsync(fd) == 0);
    if (::close(fd) != 0 || !ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (durable) syncDirectory(path);
    return true;
}

// The last hive parsed or written, by file and content, so unchanged files are not parsed again.
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

// The hive `text` holds, taken from the cache when it is the text last seen; null when it does not
// parse (reported once per content). The hive is made mutable so that a batch may take it over.
std::shared_ptr<const Hive> parsed(const fs::path& path, std::string text) {
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    if (c.valid && c.path == path && c.text == text) return c.hive;
    std::shared_ptr<const Hive> hive;
    try {
        hive = std::make_shared<Hive>(parseHive(text));
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

// Takes the hive of `text` for changing in place: the cache lets go of it (it would no longer
// match its text), and it is copied only when a reader elsewhere still holds it.
std::shared_ptr<Hive> takeOver(const fs::path& path, std::string text) {
    std::shared_ptr<const Hive> hive = parsed(path, std::move(text));
    if (!hive) return nullptr;
    {
        Cache& c = cache();
        std::lock_guard lock(c.mutex);
        if (c.hive == hive) {
            c.valid = false;
            c.hive.reset();
        }
    }
    if (hive.use_count() == 1) return std::const_pointer_cast<Hive>(hive);
    return std::make_shared<Hive>(*hive);
}

// The batch the calling thread is in (depth 0: none). It holds the write lock from its start
// to its end, and the hive that its calls read and change.
struct Batch {
    int depth = 0;
    LSTATUS status = ERROR_SUCCESS;  // ERROR_BADDB or ERROR_CANTWRITE when it cannot be stored
    fs::path path;
    std::unique_ptr<FileLock> lock;
    std::string text;                // the file as it was at the start
    std::shared_ptr<Hive> hive;
    bool changed = false;
    bool flush = false;              // RegFlushKey was called inside: the new file goes to the disk
};
thread_local Batch batch;

void beginBatch() {
    if (batch.depth++ > 0) return;
    batch.status = ERROR_SUCCESS;
    batch.path = hivePath();
    batch.changed = batch.flush = false;
    std::error_code ec;
    if (!batch.path.parent_path().empty()) fs::create_directories(batch.path.parent_path(), ec);
    batch.lock = std::make_unique<FileLock>(batch.path, LOCK_EX);
    if (!batch.lock->held()) {
        batch.status = ERROR_CANTWRITE;
        return;
    }
    std::optional<std::string> text = readFile(batch.path);
    if (!text) {
        batch.status = ERROR_BADDB;
        return;
    }
    batch.text = *text;
    if (text->empty() && !fs::exists(batch.path, ec))
        batch.hive = std::make_shared<Hive>();
    else
        batch.hive = takeOver(batch.path, std::move(*text));
    if (!batch.hive) batch.status = ERROR_BADDB;
}

// Writes the batch's hive when it changed; the old file stays unless the new one reads back as
// exactly this hive.
LSTATUS store() {
    std::string out = formatHive(*batch.hive);
    if (out == batch.text) {
        remember(batch.path, std::move(out), std::move(batch.hive));
        return ERROR_SUCCESS;
    }
    try {
        if (!(parseHive(out) == *batch.hive)) return ERROR_CANTWRITE;
    } catch (const HiveSyntaxError&) {
        return ERROR_CANTWRITE;
    }
    if (!replaceFile(batch.path, out, batch.flush)) return ERROR_CANTWRITE;
    remember(batch.path, std::move(out), std::move(batch.hive));
    return ERROR_SUCCESS;
}

LSTATUS endBatch() {
    if (--batch.depth > 0) return ERROR_SUCCESS;
    LSTATUS status = batch.status;
    if (status == ERROR_SUCCESS && batch.changed) {
        try {
            status = store();
        } catch (const std::bad_alloc&) {
            status = ERROR_OUTOFMEMORY;
        }
    } else if (status == ERROR_SUCCESS) {
        remember(batch.path, std::move(batch.text), std::move(batch.hive));
    }
    batch.hive.reset();
    batch.text.clear();
    batch.lock.reset();
    return status;
}

}  // namespace

ChangeBatch::ChangeBatch() { beginBatch(); }

ChangeBatch::~ChangeBatch() { commit(); }

LSTATUS ChangeBatch::commit() {
    if (!ended_) {
        ended_ = true;
        status_ = endBatch();
    }
    return status_;
}

LSTATUS readHive(std::shared_ptr<const Hive>& hive) {
    if (batch.depth > 0) {
        hive = batch.hive;
        return batch.status;
    }
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
    ChangeBatch own;
    if (batch.status != ERROR_SUCCESS) return batch.status;
    LSTATUS status;
    try {
        status = change(*batch.hive);
    } catch (...) {
        // A change cut short may have left the hive half changed: the batch stores nothing.
        batch.status = ERROR_CANTWRITE;
        throw;
    }
    if (status != ERROR_SUCCESS) return status;
    batch.changed = true;
    return own.commit();
}

LSTATUS flushHive() {
    if (batch.depth > 0) {
        batch.flush = true;
        return batch.status;
    }
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
