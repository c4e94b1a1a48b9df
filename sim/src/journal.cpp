#include "vireo/sim/journal.h"

#include <nlohmann/json.hpp>

namespace vireo::sim {

namespace {
// Buffers of dropped entries kept for reuse: enough for a burst of memory transfers, none large.
constexpr std::size_t kSpares = 64;
constexpr std::size_t kSpareBytes = 64 * 1024;

WORD wordOf(const std::vector<BYTE>& b, std::size_t i) {
    return 2 * i + 1 < b.size() ? WORD(b[2 * i] | b[2 * i + 1] << 8) : 0;
}
std::string hex(const std::vector<BYTE>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (BYTE b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}
}  // namespace

WORD JournalEntry::inWord(std::size_t i) const { return wordOf(in, i); }
WORD JournalEntry::outWord(std::size_t i) const { return wordOf(out, i); }

void Journal::record(JournalEntry entry) {
    std::lock_guard lock(mutex_);
    payloadBytes_ += entry.in.size() + entry.out.size();
    entries_.push_back(std::move(entry));
    while (entries_.size() > kCapacity || (payloadBytes_ > kPayloadCapacity && entries_.size() > 1)) {
        JournalEntry& oldest = entries_.front();
        payloadBytes_ -= oldest.in.size() + oldest.out.size();
        if (spares_.size() < kSpares && oldest.in.capacity() <= kSpareBytes && oldest.out.capacity() <= kSpareBytes)
            spares_.push_back({std::move(oldest.in), std::move(oldest.out)});
        entries_.pop_front();
    }
}

JournalEntry Journal::blank() {
    std::lock_guard lock(mutex_);
    JournalEntry entry;
    if (spares_.empty()) return entry;
    entry.in = std::move(spares_.back().in);
    entry.out = std::move(spares_.back().out);
    spares_.pop_back();
    entry.in.clear();
    entry.out.clear();
    return entry;
}

std::vector<JournalEntry> Journal::entries() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

std::vector<JournalEntry> Journal::entriesFor(NDIS_OID oid) const {
    std::lock_guard lock(mutex_);
    std::vector<JournalEntry> out;
    for (const auto& e : entries_)
        if (e.oid == oid) out.push_back(e);
    return out;
}

std::size_t Journal::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void Journal::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    spares_.clear();
    payloadBytes_ = 0;
}

std::string Journal::toJson() const {
    nlohmann::json all = nlohmann::json::array();
    for (const auto& e : entries()) {
        char oid[16];
        std::snprintf(oid, sizeof oid, "0x%08X", unsigned(e.oid));
        char status[16];
        std::snprintf(status, sizeof status, "0x%08X", unsigned(e.status));
        all.push_back({{"adapter", e.adapterKey},
                       {"type", e.type == NdisRequestQueryInformation ? "query" : "set"},
                       {"oid", oid},
                       {"in", hex(e.in)},
                       {"out", hex(e.out)},
                       {"status", status},
                       {"bytesTransferred", e.bytesTransferred},
                       {"bytesNeeded", e.bytesNeeded}});
    }
    return all.dump(1);
}

Journal& journal() {
    static Journal j;
    return j;
}

}  // namespace vireo::sim
