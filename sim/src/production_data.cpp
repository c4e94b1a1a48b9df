#include "production_data.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "words.h"

namespace vireo::sim {

WORD crc16Arc(const BYTE* data, std::size_t size) {
    static const auto table = [] {
        std::array<WORD, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            WORD c = WORD(i);
            for (int b = 0; b < 8; ++b) c = (c & 1) ? WORD((c >> 1) ^ 0xA001) : WORD(c >> 1);
            t[i] = c;
        }
        return t;
    }();
    WORD crc = 0;
    for (std::size_t i = 0; i < size; ++i) crc = WORD((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}

namespace {

// Manufacturing tables: two passes over channels 1..14 (set points / integrator values), the
// repeated channels 1 and 13, and for the integrator table three back-off rows.
std::vector<WORD> setPointTable() {
    std::vector<WORD> w;
    for (int pass = 0; pass < 2; ++pass) {
        for (int ch = 1; ch <= 14; ++ch) w.push_back(WORD(0x5C + ch / 3 + pass * 2));
        if (pass == 0) w.insert(w.end(), {WORD(0x5C), WORD(0x60)});
    }
    return w;  // 30 words
}
std::vector<WORD> integratorTable() {
    std::vector<WORD> w;
    for (int pass = 0; pass < 2; ++pass) {
        for (int ch = 1; ch <= 14; ++ch) w.push_back(WORD(0x48 + ch / 2 + pass * 3));
        if (pass == 0) w.insert(w.end(), {WORD(0x48), WORD(0x4E)});
    }
    w.insert(w.end(), {WORD(0x38), WORD(0x20), WORD(0x08)});
    return w;  // 33 words
}

}  // namespace

ProductionArea factoryProductionArea(const AdapterSpec& spec) {
    std::map<WORD, std::vector<WORD>> records;
    records[0x0001] = packText("SPRUCEB5", 4);
    records[0x0003] = packText(spec.serial, 6);
    records[0x0004] = {0x8002, 0x0000, 0x0001, 0x0000};
    records[0x0101] = packBytes(spec.mac.data(), spec.mac.size(), 3);
    records[0x0103] = {0x0001, spec.domain, 0, 0, 0, 0};
    records[0x0104] = {WORD(spec.domain == 0x10 || spec.domain == 0x20 ? 0x07FF : 0x3FFF)};
    const auto sp = setPointTable();
    const auto in = integratorTable();
    records[0x0900] = sp;
    records[0x0901] = in;
    records[0x0300] = std::vector<WORD>(sp.begin(), sp.begin() + 14);
    std::vector<WORD> cal(in.begin(), in.begin() + 14);
    cal.insert(cal.end(), in.begin() + 30, in.end());
    records[0x0301] = cal;
    for (const PdrSpec& p : spec.productionData) records[p.code] = p.words;

    ProductionArea area;
    area.fill(0xFF);
    std::size_t pos = 0;
    auto put = [&](WORD w) {
        if (pos + 2 > area.size()) throw std::length_error("production data does not fit in 1024 bytes");
        area[pos++] = BYTE(w);
        area[pos++] = BYTE(w >> 8);
    };
    for (const auto& [code, words] : records) {
        if (code == 0) continue;
        put(WORD(words.size() + 1));
        put(code);
        for (WORD w : words) put(w);
    }
    put(2);
    put(0);
    put(crc16Arc(area.data(), pos));
    return area;
}

std::optional<std::vector<WORD>> findPdr(const ProductionArea& area, WORD code) {
    auto word = [&](std::size_t i) { return WORD(area[2 * i] | area[2 * i + 1] << 8); };
    constexpr std::size_t words = kPdaSize / 2;
    for (std::size_t i = 0; i + 1 < words;) {
        const WORD len = word(i), c = word(i + 1);
        if (len < 1 || i + 1 + len > words) return std::nullopt;
        if (c == code) {
            std::vector<WORD> data;
            for (std::size_t k = 0; k + 1 < len; ++k) data.push_back(word(i + 2 + k));
            return data;
        }
        if (c == 0) return std::nullopt;
        i += std::size_t(len) + 1;
    }
    return std::nullopt;
}

bool endRecordCrcGood(const ProductionArea& area) {
    auto word = [&](std::size_t i) { return WORD(area[2 * i] | area[2 * i + 1] << 8); };
    constexpr std::size_t words = kPdaSize / 2;
    for (std::size_t i = 0; i + 2 < words;) {
        const WORD len = word(i), code = word(i + 1);
        if (len < 1 || i + 1 + len > words) return false;
        if (code == 0) return len == 2 && crc16Arc(area.data(), 2 * (i + 2)) == word(i + 2);
        i += std::size_t(len) + 1;
    }
    return false;
}

}  // namespace vireo::sim
