// clsSRT and the sweep window's lines.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "sweep_table.h"

using namespace kestview;

namespace {

struct Entry {
    std::uint16_t channel = 6, noise = 10, signal = 64;
    std::array<std::uint8_t, 6> bssid{0x02, 0x4F, 0x52, 0x55, 0x00, 0x06};
    std::uint16_t beacon = 100, capability = 0x11;
    std::string ssid = "BENCH-AP-6";
    std::optional<std::uint16_t> ssidLength;
    std::array<std::uint8_t, 10> rates{0x82, 0x84, 0x0B, 0x16};
    std::uint16_t probe = 55;
};

// Low byte of each word first.
void packBytes(std::vector<std::int16_t>& w, const std::uint8_t* b, std::size_t n, std::size_t words) {
    for (std::size_t i = 0; i < words; ++i) {
        const std::uint8_t lo = 2 * i < n ? b[2 * i] : 0, hi = 2 * i + 1 < n ? b[2 * i + 1] : 0;
        w.push_back(std::int16_t(std::uint16_t(hi << 8 | lo)));
    }
}

std::vector<std::int16_t> table(const std::vector<Entry>& entries) {
    std::vector<std::int16_t> w{std::int16_t(entries.size()), 1};
    for (const Entry& e : entries) {
        for (std::uint16_t x : {e.channel, e.noise, e.signal}) w.push_back(std::int16_t(x));
        packBytes(w, e.bssid.data(), 6, 3);
        w.push_back(std::int16_t(e.beacon));
        w.push_back(std::int16_t(e.capability));
        w.push_back(std::int16_t(e.ssidLength.value_or(std::uint16_t(e.ssid.size()))));
        packBytes(w, reinterpret_cast<const std::uint8_t*>(e.ssid.data()), e.ssid.size(), 16);
        packBytes(w, e.rates.data(), 10, 5);
        w.push_back(std::int16_t(e.probe));
    }
    return w;
}

}  // namespace

TEST(SweepTable, DecodesEveryField) {
    clsSRT t;
    Entry ibss;
    ibss.channel = 11;
    ibss.noise = 127;
    ibss.signal = 0xFFFF;
    ibss.probe = 20;
    t.Load(table({Entry{}, ibss}));
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(t.ChannelId(1), 6);
    EXPECT_EQ(t.AvgNoiseLevel(1), 8);  // 10 / 127 x 100 = 7.87
    EXPECT_EQ(t.SignalLevel(1), 50);   // 64 / 127 x 100 = 50.39
    EXPECT_EQ(t.Bssid(1), "02:4F:52:55:00:06");
    EXPECT_EQ(t.BeaconInterval(1), 100);
    EXPECT_EQ(t.CapabilityInfo(1), 0x11);
    EXPECT_EQ(t.Ssid(1), "BENCH-AP-6");
    EXPECT_EQ(t.SupportedRates(1), "*1MB *2MB 5.5MB 11MB       ");
    EXPECT_EQ(t.ProbeRate(1), "5.5 MB/s");
    EXPECT_EQ(t.AvgNoiseLevel(2), 100);
    EXPECT_EQ(t.SignalLevel(2), 51602);  // a negative word counts as w + 65536: 65535 / 127 x 100
    EXPECT_EQ(t.ProbeRate(2), "2 MB/s");
}

TEST(SweepTable, InvalidEntriesGiveMinusOneOrQuestionMark) {
    clsSRT t;
    t.Load(table({Entry{}}));
    for (long k : {0L, 2L, -1L}) {
        EXPECT_FALSE(t.IsValid(k));
        EXPECT_EQ(t.ChannelId(k), -1);
        EXPECT_EQ(t.SignalLevel(k), -1);
        EXPECT_EQ(t.CapabilityInfo(k), -1);
        EXPECT_EQ(t.Bssid(k), "?");
        EXPECT_EQ(t.Ssid(k), "?");
        EXPECT_EQ(t.SupportedRates(k), "?");
        EXPECT_EQ(t.ProbeRate(k), "?");
    }
    EXPECT_TRUE(t.IsValid(1));
    t.Load({});  // not an array: empty
    EXPECT_EQ(t.Count(), 0);
    EXPECT_FALSE(t.IsValid(1));
}

TEST(SweepTable, CountRoundsHalvesToEvenAndCutEntriesShowException) {
    // Count = round((upper bound - 1) / 31): 2 + 31 + 16 words rounds up to two entries.
    std::vector<std::int16_t> w = table({Entry{}, Entry{}});
    w.resize(2 + 31 + 16);
    clsSRT t;
    t.Load(w);
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(t.ChannelId(2), 6);
    EXPECT_EQ(t.Bssid(2), "02:4F:52:55:00:06");
    EXPECT_EQ(t.Ssid(2), "EXCEPTION");
    EXPECT_EQ(t.SupportedRates(2), "EXCEPTION");
    EXPECT_EQ(t.ProbeRate(2), "EXCEPTION");
    w.resize(2 + 31 + 15);  // 46 / 31 = 1.48
    t.Load(w);
    EXPECT_EQ(t.Count(), 1);
    // Entries of a record by its length word: round((length - 3) / 31).
    EXPECT_EQ(sweepEntries(3), 0);
    EXPECT_EQ(sweepEntries(3 + 31), 1);
    EXPECT_EQ(sweepEntries(3 + 31 + 15), 1);
    EXPECT_EQ(sweepEntries(3 + 31 + 16), 2);
    EXPECT_EQ(sweepEntries(2), 0);
}

TEST(SweepTable, RateNamesCapabilityAndProbeRates) {
    const struct {
        long x;
        const char* name;
    } rates[] = {{0x02, "1MB"}, {0x04, "2M"},      {0x0B, "5.5MB"}, {0x16, "11MB"}, {0x82, "*1MB"},
                 {0x84, "*2MB"}, {0x8B, "*5.5MB"}, {0x96, "*11MB"}, {0x00, ""},     {0x0C, ""}, {0x80, ""}};
    for (const auto& r : rates) EXPECT_EQ(clsSRT::RateName(r.x), r.name) << r.x;

    EXPECT_EQ(capabilityText(0x11), " ESS  Privacy ");
    EXPECT_EQ(capabilityText(0x1F), " ESS  IBSS  CF Poll Request  CF Pollable Privacy ");
    EXPECT_EQ(capabilityText(0), "");

    for (auto [probe, text] : {std::pair{10, "1 MB/s"}, {20, "2 MB/s"}, {55, "5.5 MB/s"}, {110, "11 MB/s"},
                               {5, "Unknown Rate"}, {0, "Unknown Rate"}}) {
        Entry e;
        e.probe = std::uint16_t(probe);
        clsSRT t;
        t.Load(table({e}));
        EXPECT_EQ(t.ProbeRate(1), text) << probe;
    }
}

TEST(SweepTable, SsidLengthZeroEmptyAndCappedAt32) {
    Entry none, overlong, cut;
    none.ssidLength = 0;
    overlong.ssid = std::string(32, 'S');
    overlong.ssidLength = 40;
    cut.ssid = "ABCDEF";
    cut.ssidLength = 3;
    clsSRT t;
    t.Load(table({none, overlong, cut}));
    EXPECT_EQ(t.Ssid(1), "");
    EXPECT_EQ(t.Ssid(2), QString(32, u'S'));
    EXPECT_EQ(t.Ssid(3), "ABC");
}

TEST(SweepTable, EntryLinesExactly) {
    clsSRT t;
    t.Load(table({Entry{}}));
    EXPECT_EQ(sweepResultLines(t, 1), QStringList({
                                          "----------- Sweep Entry 1 ---------- ",
                                          "BSSID: 02:4F:52:55:00:06",
                                          " - SSID: BENCH-AP-6",
                                          " - Channel ID: 6",
                                          " - Avg Noise Level: 8",
                                          " - Signal Level: 50",
                                          " - Beacon Interval: 100mSec",
                                          " - Capability Info:  ESS  Privacy ",
                                          " - Supported Rates: *1MB *2MB 5.5MB 11MB       ",
                                          " - Probe Rate: 5.5 MB/s",
                                      }));
    EXPECT_TRUE(sweepResultLines(t, 0).isEmpty());
    // An entry the words do not hold shows its numbers as -1 and its texts as "?".
    const QStringList beyond = sweepResultLines(t, 2).mid(10);
    EXPECT_EQ(beyond.value(1), "BSSID: ?");
    EXPECT_EQ(beyond.value(3), " - Channel ID: -1");
    EXPECT_EQ(beyond.value(7), " - Capability Info: ?");
}
