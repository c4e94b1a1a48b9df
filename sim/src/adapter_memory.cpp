#include "adapter_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>

#include "atomic_file.h"

namespace vireo::sim {

namespace fs = std::filesystem;

namespace {
const char* kPdaFile = "production-data.bin";
const char* kFirmwareFile = "firmware-store.bin";
const char* kGenerationFile = "generation";
const char* kLockFile = ".lock";

// Keeps a state file that cannot be used under another name and says so, so nothing is lost.
void setAside(const fs::path& file, const std::string& why) {
    fs::path aside = file;
    aside += ".damaged";
    std::error_code ec;
    fs::rename(file, aside, ec);
    std::cerr << "vireo bench: " << file.string() << ": " << why << "; kept as " << aside.string()
              << ", the adapter starts from its factory contents\n";
}
constexpr std::size_t kRecordBytes = 4 + AdapterMemory::kPageBytes;  // page address, then the page

// A lock on the adapter's state folder, through the memory's lock file: exclusive while a write is
// made, shared while the state is read.
class StateLock {
public:
    StateLock(int fd, int operation) : fd_(fd) {
        if (fd_ >= 0)
            while (::flock(fd_, operation) != 0 && errno == EINTR) {
            }
    }
    ~StateLock() {
        if (fd_ >= 0) ::flock(fd_, LOCK_UN);
    }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
    int fd_;
};

// A file descriptor closed with its owner.
class File {
public:
    File(const fs::path& path, int flags) : fd_(::open(path.c_str(), flags | O_CLOEXEC, 0644)) {}
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    int fd() const { return fd_; }
    bool open() const { return fd_ >= 0; }

private:
    int fd_;
};

bool writeAt(int fd, const BYTE* data, std::size_t length, std::size_t offset) {
    for (std::size_t done = 0; done < length;) {
        const ssize_t n = ::pwrite(fd, data + done, length - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

void syncFolder(const fs::path& dir) {
    File folder(dir, O_RDONLY | O_DIRECTORY);
    if (folder.open()) ::fsync(folder.fd());
}
}  // namespace

// The state folder's files stay open while the memory lives (the lock file and the counter are
// never replaced; the store file is opened again whenever the state changed under another hand).
int AdapterMemory::openFile(int& fd, const char* name) const {
    if (fd < 0) {
        std::error_code ec;
        fs::create_directories(stateDir_, ec);
        fd = ::open((stateDir_ / name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    }
    return fd;
}

void AdapterMemory::closeFile(int& fd) const {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::uint64_t AdapterMemory::storedGeneration() const {
    char text[32] = {};
    const int fd = openFile(generationFd_, kGenerationFile);
    if (fd < 0 || ::pread(fd, text, sizeof text - 1, 0) < 0) return 0;
    return std::strtoull(text, nullptr, 10);
}

// The counter is rewritten in place at a fixed width (21 bytes, within one disk block), so that
// advancing it costs one small write rather than a new file.
bool AdapterMemory::storeGeneration(std::uint64_t generation) const {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%020llu\n", static_cast<unsigned long long>(generation));
    const int fd = openFile(generationFd_, kGenerationFile);
    if (fd < 0 || !writeAt(fd, reinterpret_cast<const BYTE*>(text), std::size_t(n), 0)) return false;
    generation_ = generation;
    return true;
}

AdapterMemory::AdapterMemory(fs::path stateDir, ProductionArea factory, Faults faults)
    : stateDir_(std::move(stateDir)), factory_(factory), faults_(std::move(faults)), pda_(factory),
      ram_(kRamSize, 0) {
    StateLock lock(openFile(lockFd_, kLockFile), LOCK_SH);
    refresh();
}

AdapterMemory::~AdapterMemory() {
    commit();
    closeFile(storeFd_);
    closeFile(generationFd_);
    closeFile(lockFd_);
}

void AdapterMemory::commit() {
    if (!unsynced_) return;
    if (storeFd_ >= 0) ::fdatasync(storeFd_);
    if (storeCreated_) syncFolder(stateDir_);  // the new file's name, too
    unsynced_ = storeCreated_ = false;
}

void AdapterMemory::refresh() const {
    const std::uint64_t stored = storedGeneration();
    if (stored == generation_) return;
    generation_ = stored;
    // Another process may have replaced or removed the store file: it is opened again when needed.
    if (unsynced_ && storeFd_ >= 0) ::fdatasync(storeFd_);
    closeFile(storeFd_);
    pda_ = factory_;
    if (auto pda = readWholeFile(stateDir_ / kPdaFile)) {
        if (pda->size() == kPdaSize)
            std::memcpy(pda_.data(), pda->data(), kPdaSize);
        else
            setAside(stateDir_ / kPdaFile, "not 1024 bytes long");
    }
    pages_.clear();
    slots_.clear();
    records_ = 0;
    if (auto fw = readWholeFile(stateDir_ / kFirmwareFile)) {
        // Records of a 4-byte little-endian page address and the page's 4096 bytes. A record cut
        // short at the end is a write that never completed, so it was never reported done: it is
        // left out, and the next new page takes its place.
        const std::size_t whole = fw->size() / kRecordBytes;
        bool ok = true;
        std::map<std::uint32_t, std::vector<BYTE>> pages;
        std::map<std::uint32_t, std::size_t> slots;
        for (std::size_t i = 0; ok && i < whole; ++i) {
            const auto* p = reinterpret_cast<const BYTE*>(fw->data() + i * kRecordBytes);
            const std::uint32_t addr = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
            ok = addr % kPageBytes == 0 && addr < kFirmwareBase + kFirmwareSize;
            if (ok) {
                pages[addr].assign(p + 4, p + kRecordBytes);
                slots[addr] = i;
            }
        }
        if (ok) {
            pages_ = std::move(pages);
            slots_ = std::move(slots);
            records_ = whole;
        } else {
            setAside(stateDir_ / kFirmwareFile, "not a firmware store");
        }
    }
}

ProductionArea AdapterMemory::productionArea() const {
    StateLock lock(openFile(lockFd_, kLockFile), LOCK_SH);
    refresh();
    return pda_;
}

std::size_t AdapterMemory::firmwarePagesInUse() const {
    StateLock lock(openFile(lockFd_, kLockFile), LOCK_SH);
    refresh();
    return std::size_t(std::count_if(pages_.begin(), pages_.end(), [](const auto& p) {
        return std::any_of(p.second.begin(), p.second.end(), [](BYTE b) { return b != kErasedByte; });
    }));
}

AdapterMemory::Region AdapterMemory::regionOf(std::uint32_t address, std::size_t length) {
    const std::uint64_t end = std::uint64_t(address) + length;
    auto inside = [&](std::uint32_t base, std::uint32_t size) { return address >= base && end <= std::uint64_t(base) + size; };
    if (inside(kFirmwareBase, kFirmwareSize)) return Region::Firmware;
    if (inside(kRamBase, kRamSize)) return Region::Ram;
    if (inside(kPdaBase, kPdaSize)) return Region::Pda;
    return Region::None;
}

NDIS_STATUS AdapterMemory::read(std::uint32_t address, std::span<BYTE> out) const {
    const Region region = regionOf(address, out.size());
    std::optional<StateLock> lock;
    if (region == Region::Pda || region == Region::Firmware) {
        lock.emplace(openFile(lockFd_, kLockFile), LOCK_SH);
        refresh();
    }
    switch (region) {
    case Region::Ram:
        std::memcpy(out.data(), ram_.data() + (address - kRamBase), out.size());
        return NDIS_STATUS_SUCCESS;
    case Region::Pda:
        std::memcpy(out.data(), pda_.data() + (address - kPdaBase), out.size());
        return NDIS_STATUS_SUCCESS;
    case Region::Firmware:
        // Page by page; pages never written read as erased.
        for (std::size_t i = 0; i < out.size();) {
            const std::uint32_t a = address + std::uint32_t(i);
            const std::size_t offset = a % kPageBytes;
            const std::size_t n = std::min(out.size() - i, kPageBytes - offset);
            auto page = pages_.find(a - std::uint32_t(offset));
            if (page == pages_.end())
                std::memset(out.data() + i, kErasedByte, n);
            else
                std::memcpy(out.data() + i, page->second.data() + offset, n);
            i += n;
        }
        return NDIS_STATUS_SUCCESS;
    case Region::None:
        break;
    }
    return NDIS_STATUS_INVALID_DATA;
}

bool AdapterMemory::sticks(std::uint32_t address) const {
    return std::none_of(faults_.writesDoNotStick.begin(), faults_.writesDoNotStick.end(),
                        [address](const MemoryRange& r) { return address >= r.from && address <= r.to; });
}

NDIS_STATUS AdapterMemory::write(std::uint32_t address, std::span<const BYTE> data) {
    const Region region = regionOf(address, data.size());
    std::optional<StateLock> lock;
    if (region == Region::Pda || region == Region::Firmware) {
        lock.emplace(openFile(lockFd_, kLockFile), LOCK_EX);
        refresh();
    }
    switch (region) {
    case Region::Ram:
        for (std::size_t i = 0; i < data.size(); ++i)
            if (sticks(address + std::uint32_t(i))) ram_[address - kRamBase + i] = data[i];
        return NDIS_STATUS_SUCCESS;
    case Region::Pda: {
        ProductionArea next = pda_;
        for (std::size_t i = 0; i < data.size(); ++i)
            if (sticks(address + std::uint32_t(i))) next[address - kPdaBase + i] = data[i];
        if (next == pda_) return NDIS_STATUS_SUCCESS;
        if (!storePda(next)) return NDIS_STATUS_FAILURE;
        pda_ = next;
        return NDIS_STATUS_SUCCESS;
    }
    case Region::Firmware: {
        // The pages the write touches, with the bytes that really change.
        std::vector<PageChange> changed;
        for (std::size_t i = 0; i < data.size();) {
            const std::uint32_t a = address + std::uint32_t(i);
            const std::size_t offset = a % kPageBytes;
            const std::size_t n = std::min(data.size() - i, kPageBytes - offset);
            const std::uint32_t page = a - std::uint32_t(offset);
            auto stored = pages_.find(page);
            PageChange change{page, stored == pages_.end() ? std::vector<BYTE>(kPageBytes, kErasedByte) : stored->second,
                              kPageBytes, 0};
            const BYTE* in = data.data() + i;
            BYTE* out = change.bytes.data() + offset;
            if (faults_.writesDoNotStick.empty()) {
                // The first and the last byte that differ bound what is written.
                std::size_t first = 0, last = n;
                while (first < n && out[first] == in[first]) ++first;
                while (last > first && out[last - 1] == in[last - 1]) --last;
                if (first < last) {
                    std::memcpy(out + first, in + first, last - first);
                    change.from = offset + first;
                    change.to = offset + last;
                }
            } else {
                for (std::size_t k = 0; k < n; ++k) {
                    if (out[k] == in[k] || !sticks(a + std::uint32_t(k))) continue;
                    out[k] = in[k];
                    change.from = std::min(change.from, offset + k);
                    change.to = offset + k + 1;
                }
            }
            if (change.from < change.to) changed.push_back(std::move(change));
            i += n;
        }
        if (changed.empty()) return NDIS_STATUS_SUCCESS;
        if (!storeFirmware(changed)) return NDIS_STATUS_FAILURE;
        for (auto& c : changed) pages_[c.page] = std::move(c.bytes);
        return NDIS_STATUS_SUCCESS;
    }
    case Region::None:
        break;
    }
    return NDIS_STATUS_INVALID_DATA;
}

bool AdapterMemory::storePda(const ProductionArea& pda) const {
    return writeFileAtomically(stateDir_ / kPdaFile, std::string(reinterpret_cast<const char*>(pda.data()), pda.size())) &&
           storeGeneration(generation_ + 1);
}

// New pages are appended first: only they need room, and when there is none the file is cut back
// and nothing has changed. Then the stored pages receive their changed bytes in place. A write
// that fails part-way puts back what it had changed.
bool AdapterMemory::storeFirmware(const std::vector<PageChange>& changed) {
    std::error_code ec;
    const bool created = storeFd_ < 0 && !fs::exists(stateDir_ / kFirmwareFile, ec);
    const int store = openFile(storeFd_, kFirmwareFile);
    if (store < 0) return false;
    storeCreated_ = storeCreated_ || created;
    std::size_t records = records_;
    std::map<std::uint32_t, std::size_t> added;
    bool ok = true;
    for (const PageChange& c : changed) {
        if (!ok || slots_.count(c.page)) continue;
        std::vector<BYTE> record(kRecordBytes);
        for (int s = 0; s < 4; ++s) record[std::size_t(s)] = BYTE(c.page >> (8 * s));
        std::memcpy(record.data() + 4, c.bytes.data(), kPageBytes);
        ok = writeAt(store, record.data(), record.size(), records * kRecordBytes);
        if (ok) added[c.page] = records++;
    }
    std::size_t done = 0;
    for (; ok && done < changed.size(); ++done) {
        const PageChange& c = changed[done];
        auto slot = slots_.find(c.page);
        if (slot == slots_.end()) continue;
        ok = writeAt(store, c.bytes.data() + c.from, c.to - c.from, slot->second * kRecordBytes + 4 + c.from);
    }
    if (ok) ok = storeGeneration(generation_ + 1);
    if (!ok) {
        for (std::size_t i = 0; i < done; ++i) {
            auto slot = slots_.find(changed[i].page);
            if (slot == slots_.end()) continue;
            const std::vector<BYTE>& old = pages_.at(changed[i].page);
            writeAt(store, old.data() + changed[i].from, changed[i].to - changed[i].from,
                    slot->second * kRecordBytes + 4 + changed[i].from);
        }
        if (::ftruncate(store, off_t(records_ * kRecordBytes)) != 0) {
            // The appended records stay; they are pages this process does not count as stored.
        }
        return false;
    }
    slots_.insert(added.begin(), added.end());
    records_ = records;
    unsynced_ = true;
    return true;
}

void AdapterMemory::factoryReset() {
    StateLock lock(openFile(lockFd_, kLockFile), LOCK_EX);
    std::error_code ec;
    fs::remove(stateDir_ / kPdaFile, ec);
    fs::remove(stateDir_ / kFirmwareFile, ec);
    closeFile(storeFd_);
    refresh();
    storeGeneration(generation_ + 1);
    pda_ = factory_;
    pages_.clear();
    slots_.clear();
    records_ = 0;
    unsynced_ = storeCreated_ = false;
    std::fill(ram_.begin(), ram_.end(), BYTE(0));
}

}  // namespace vireo::sim
