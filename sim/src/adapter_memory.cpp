#include "adapter_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// Keeps a state file that cannot be used under another name and says so, so nothing is lost.
void setAside(const fs::path& file, const std::string& why) {
    fs::path aside = file;
    aside += ".damaged";
    std::error_code ec;
    fs::rename(file, aside, ec);
    std::cerr << "vireo bench: " << file.string() << ": " << why << "; kept as " << aside.string()
              << ", the adapter starts from its factory contents\n";
}
// An exclusive lock on the adapter's state folder while a write is made.
class StateLock {
public:
    explicit StateLock(const fs::path& dir) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        fd_ = ::open((dir / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~StateLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
    int fd_ = -1;
};
}  // namespace

std::uint64_t AdapterMemory::storedGeneration() const {
    const auto text = readWholeFile(stateDir_ / kGenerationFile);
    return text ? std::strtoull(text->c_str(), nullptr, 10) : 0;
}

bool AdapterMemory::storeGeneration(std::uint64_t generation) const {
    if (!writeFileAtomically(stateDir_ / kGenerationFile, std::to_string(generation) + "\n")) return false;
    generation_ = generation;
    return true;
}

AdapterMemory::AdapterMemory(fs::path stateDir, ProductionArea factory, Faults faults)
    : stateDir_(std::move(stateDir)), factory_(factory), faults_(std::move(faults)), pda_(factory),
      ram_(kRamSize, 0) {
    refresh();
}

void AdapterMemory::refresh() const {
    const std::uint64_t stored = storedGeneration();
    if (stored == generation_) return;
    generation_ = stored;
    pda_ = factory_;
    if (auto pda = readWholeFile(stateDir_ / kPdaFile)) {
        if (pda->size() == kPdaSize)
            std::memcpy(pda_.data(), pda->data(), kPdaSize);
        else
            setAside(stateDir_ / kPdaFile, "not 1024 bytes long");
    }
    pages_.clear();
    if (auto fw = readWholeFile(stateDir_ / kFirmwareFile)) {
        // Records of a 4-byte little-endian page address and the page's 4096 bytes.
        constexpr std::size_t rec = 4 + kPageBytes;
        bool ok = fw->size() % rec == 0;
        std::map<std::uint32_t, std::vector<BYTE>> pages;
        for (std::size_t i = 0; ok && i < fw->size(); i += rec) {
            const auto* p = reinterpret_cast<const BYTE*>(fw->data() + i);
            const std::uint32_t addr = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
            ok = addr % kPageBytes == 0 && addr < kFirmwareBase + kFirmwareSize;
            if (ok) pages[addr].assign(p + 4, p + rec);
        }
        if (ok)
            pages_ = std::move(pages);
        else
            setAside(stateDir_ / kFirmwareFile, "not a firmware store");
    }
}

ProductionArea AdapterMemory::productionArea() const {
    refresh();
    return pda_;
}

std::size_t AdapterMemory::firmwarePagesInUse() const {
    refresh();
    return pages_.size();
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
    if (region == Region::Pda || region == Region::Firmware) refresh();
    switch (region) {
    case Region::Ram:
        std::memcpy(out.data(), ram_.data() + (address - kRamBase), out.size());
        return NDIS_STATUS_SUCCESS;
    case Region::Pda:
        std::memcpy(out.data(), pda_.data() + (address - kPdaBase), out.size());
        return NDIS_STATUS_SUCCESS;
    case Region::Firmware:
        for (std::size_t i = 0; i < out.size(); ++i) {
            const std::uint32_t a = address + std::uint32_t(i);
            auto page = pages_.find(a - a % kPageBytes);
            out[i] = page == pages_.end() ? kErasedByte : page->second[a % kPageBytes];
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
        lock.emplace(stateDir_);
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
        auto next = pages_;
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::uint32_t a = address + std::uint32_t(i);
            if (!sticks(a)) continue;
            auto [page, added] = next.try_emplace(a - a % kPageBytes);
            if (added) page->second.assign(kPageBytes, kErasedByte);
            page->second[a % kPageBytes] = data[i];
        }
        // Pages that are wholly erased again are not kept.
        std::erase_if(next, [](const auto& p) {
            return std::all_of(p.second.begin(), p.second.end(), [](BYTE b) { return b == kErasedByte; });
        });
        if (next == pages_) return NDIS_STATUS_SUCCESS;
        if (!storeFirmware(next)) return NDIS_STATUS_FAILURE;
        pages_ = std::move(next);
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

bool AdapterMemory::storeFirmware(const std::map<std::uint32_t, std::vector<BYTE>>& pages) const {
    std::string out;
    out.reserve(pages.size() * (4 + kPageBytes));
    for (const auto& [addr, bytes] : pages) {
        for (int s = 0; s < 32; s += 8) out += char(BYTE(addr >> s));
        out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return writeFileAtomically(stateDir_ / kFirmwareFile, out) && storeGeneration(generation_ + 1);
}

void AdapterMemory::factoryReset() {
    StateLock lock(stateDir_);
    std::error_code ec;
    fs::remove(stateDir_ / kPdaFile, ec);
    fs::remove(stateDir_ / kFirmwareFile, ec);
    refresh();
    storeGeneration(generation_ + 1);
    pda_ = factory_;
    pages_.clear();
    std::fill(ram_.begin(), ram_.end(), BYTE(0));
}

}  // namespace vireo::sim
