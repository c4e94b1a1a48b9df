#include <gtest/gtest.h>

#include "vireo/sim/bench_file.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;
using TestBench = vireo::sim::testing::TestBench;

TEST(BenchSpec, DefaultBenchHasTheFourAdapters) {
    const BenchSpec b = parseBench(vireo::sim::testing::defaultBenchJson(), "default.json");
    ASSERT_EQ(b.adapters.size(), 4u);
    const BasebandModel models[] = {BasebandModel::Alder, BasebandModel::BirchB, BasebandModel::Cedar};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(b.adapters[i].vireo);
        EXPECT_EQ(b.adapters[i].baseband, models[i]);
    }
    EXPECT_FALSE(b.adapters[3].vireo);
    EXPECT_EQ(b.adapters[0].mac, (std::array<BYTE, 6>{0x00, 0x60, 0x1D, 0xA1, 0x00, 0x01}));
    EXPECT_EQ(b.adapters[1].driverVersion, 0x00020001u);
    EXPECT_EQ(b.rfCable.adapterKey, "0003");
    ASSERT_TRUE(b.spectrumAnalyzer);
    EXPECT_EQ(b.spectrumAnalyzer->model, "HP 8593E");
}

TEST(BenchSpec, BadBenchesAreRefusedWithFileAndReason) {
    const std::string a = R"("key":"0001","service":"S1","driverDesc":"d","baseband":"alder","mac":"00:01:02:03:04:05")";
    const struct {
        std::string json;
        std::string message;
    } cases[] = {
        {"{", "not valid JSON"},
        {"{}", "adapters: expected a list of at least one adapter"},
        {"2E777", "/benches/bad.json: 2E777 is too large for a number"},
        {R"({"name": 1e999, "adapters": []})", "/benches/bad.json: name: 1e999 is too large for a number"},
        {R"({"adapters":[{)" + a + R"(,"productionData":[{"code":1,"words":[1,-1e400]}]}]})",
         "adapters[0].productionData[0].words[1]: -1e400 is too large for a number"},
        {R"({"adapters":[{)" + a + R"(,"colour":1}]})", "adapters[0].colour: unknown field"},
        {R"({"adapters":[{"key":"0001","service":"S1","driverDesc":"d","baseband":"alder","mac":"00:01:02"}]})",
         "adapters[0].mac: expected six hexadecimal bytes"},
        {R"({"adapters":[{"key":"0001","service":"S1","driverDesc":"d","mac":"00:01:02:03:04:05"}]})",
         "adapters[0].baseband: missing"},
        {R"({"adapters":[{)" + a + R"(,"baseband":"oak"}]})", "adapters[0].baseband: expected alder"},
        {R"({"adapters":[{)" + a + R"(},{)" + a + R"(}]})", "adapters[1].key: \"0001\" is used twice"},
        {R"({"adapters":[{)" + a + R"(,"serial":"1234567890123"}]})", "adapters[0].serial: at most 12"},
        {R"({"adapters":[{)" + a + R"(,"channel":15}]})", "adapters[0].channel: must not exceed 14"},
        {R"({"adapters":[{)" + a + R"(,"missingRecords":["FDZZ"]}]})", "adapters[0].missingRecords[0]: expected a whole number"},
        {R"({"adapters":[{)" + a + R"(}],"rfCable":{"adapter":"0009"}})", "rfCable.adapter: no adapter has the key \"0009\""},
        {R"({"adapters":[{)" + a + R"(}],"instruments":{"powerMeter":{"model":"XYZ"}}})",
         "instruments.powerMeter.model: unknown model"},
        {R"({"adapters":[{)" + a + R"(,"faults":{"writesDoNotStick":[{"from":"0x20","to":"0x10"}]}}]})",
         "\"to\" lies below \"from\""},
        {R"({"adapters":[{)" + a + R"(,"stations":[{"ssid":"x"}]}]})", "adapters[0].stations[0].bssid: missing"},
        {R"({"adapters":[{)" + a + R"(,"stations":[{"bssid":"02:00:00:00:00:01","rates":[1,2,3,4,5,6,7,8,9,10,11]}]}]})",
         "adapters[0].stations[0].rates: expected a list of at most 10"},
        {R"({"adapters":[{)" + a + R"(,"stations":[{"bssid":"02:00:00:00:00:01","signal":128}]}]})",
         "adapters[0].stations[0].signal: must not exceed 127"},
    };
    for (const auto& c : cases) {
        try {
            parseBench(c.json, "/benches/bad.json");
            ADD_FAILURE() << "accepted: " << c.json;
        } catch (const BenchError& e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind("/benches/bad.json: ", 0), 0u) << what;
            EXPECT_NE(what.find(c.message), std::string::npos) << what;
        }
    }
}

TEST(BenchSpec, ProductionDataThatDoesNotFitIsRefused) {
    std::string words;
    for (int i = 0; i < 250; ++i) words.append(i ? "," : "").append(std::to_string(i));
    std::string records;
    for (int code = 1; code <= 3; ++code)
        records += std::string(code > 1 ? "," : "") + R"({"code":)" + std::to_string(0x200 + code) + R"(,"words":[)" + words + "]}";
    const std::string json =
        R"({"adapters":[{"key":"0001","service":"S1","driverDesc":"d","baseband":"alder","mac":"00:01:02:03:04:05","productionData":[)" +
        records + "]}]}";
    try {
        parseBench(json, "big.json");
        FAIL() << "accepted";
    } catch (const BenchError& e) {
        EXPECT_NE(std::string(e.what()).find("do not fit in the 1024-byte production data area"), std::string::npos) << e.what();
    }
}
