// OpenAdapter over the simulated bench: a bench of one adapter built from the options.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "adapter_fixture.h"
#include "vireo/sim/testing/test_bench.h"

namespace direzo::testing {

namespace {

constexpr const char* kKey = "0001";
constexpr const char16_t* kService = u"VIREO1";

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%X\"", value);
    return text;
}

std::string benchJson(const AdapterOptions& o) {
    std::ostringstream s;
    s << R"({"name": "Component test bench", "adapters": [{"key": ")" << kKey
      << R"(", "service": "VIREO1", "driverDesc": "Vireo test adapter", "vireo": true, "baseband": )"
      << o.baseband << R"(, "mac": "00:60:1D:00:00:01", "serial": "TEST0001", "channel": 1, "missingRecords": [)";
    for (std::size_t i = 0; i < o.missingRecords.size(); ++i) s << (i ? ", " : "") << hex(o.missingRecords[i]);
    s << R"(], "quirks": {"commandQueryRefused": )" << (o.commandQueryRefused ? "true" : "false")
      << R"(, "refusedOids": [)";
    for (std::size_t i = 0; i < o.refusedOids.size(); ++i) s << (i ? ", " : "") << hex(o.refusedOids[i]);
    s << "]}}]}";
    return s.str();
}

std::vector<WORD> payloadWords(const vireo::sim::JournalEntry& e) {
    std::vector<WORD> words;
    for (std::size_t i = 0; i < e.in.size() / 2; ++i) words.push_back(e.inWord(i));
    return words;
}

}  // namespace

OpenAdapter::OpenAdapter(const AdapterOptions& options)
    : bench_(std::make_unique<vireo::sim::testing::TestBench>(benchJson(options))),
      session_(std::make_unique<AdapterSession>()) {
    EXPECT_TRUE(session_->Open(kService, u"0001"));
    mark();
}

OpenAdapter::~OpenAdapter() {
    session_.reset();
    bench_.reset();
}

void OpenAdapter::mark() { mark_ = bench_->journal().size(); }

std::vector<Request> OpenAdapter::requests() const {
    std::vector<Request> out;
    const auto entries = bench_->journal().entries();
    for (std::size_t i = mark_; i < entries.size(); ++i)
        if (entries[i].adapterKey == kKey)
            out.push_back({entries[i].type, entries[i].oid, payloadWords(entries[i]), entries[i].status});
    return out;
}

std::vector<Request> OpenAdapter::requests(NDIS_OID oid) const {
    std::vector<Request> out = requests();
    std::erase_if(out, [&](const Request& r) { return r.oid != oid; });
    return out;
}

std::vector<std::vector<WORD>> OpenAdapter::commands() const {
    std::vector<std::vector<WORD>> out;
    for (const Request& r : requests(OID_VIREO_COMMAND)) out.push_back({r.in.at(0), r.in.at(1), r.in.at(2)});
    return out;
}

// Written as a client would; the simulated adapter keeps its records' lengths, so a record can
// neither lose its data words nor report a length word of its own choosing.
bool OpenAdapter::setRecord(WORD rid, const std::vector<WORD>& data, std::optional<WORD> lengthWord) {
    if (data.size() > RecordBuffer::kMaxDataWords) return false;
    bench_->device(kKey)->presentRecord(rid, data, lengthWord);
    return true;
}

LONG OpenAdapter::tally(std::size_t index) const { return bench_->device(kKey)->tallies().at(index); }

std::vector<BYTE> OpenAdapter::memory(DWORD address, std::size_t length) const {
    return bench_->device(kKey)->memory(address, length);
}

void OpenAdapter::advance(std::chrono::milliseconds time) { bench_->clock().advance(time); }

}  // namespace direzo::testing
