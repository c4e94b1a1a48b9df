// The console's instrument bindings: the flags and handles after each operation, a library or
// function that is missing, and the real drivers against the simulated gateway.
#include "test_equipment.h"

#include <dlfcn.h>

#include <cstdlib>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/testing/gateway_client.h"
#include "vireo/sim/testing/test_bench.h"

using namespace kestview::instruments;

namespace {

// A handle on one fake driver library (in the build's library folder), to tell it what to answer.
class Fake {
public:
    explicit Fake(const char* file) {
        const char* build = std::getenv("ORU_BINARY_DIR");
        if (!build || !*build) {
            why_ = "$ORU_BINARY_DIR is not set: ctest sets it to the build folder, whose lib/ holds " +
                   std::string(file) + "; set it to run this test binary by hand";
            return;
        }
        const std::string path = std::string(build) + "/lib/" + file;
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) why_ = "cannot load " + path + ": " + dlerror();
    }
    ~Fake() {
        if (handle_) dlclose(handle_);
    }
    bool loaded() const { return handle_ != nullptr; }
    // Why it is not loaded.
    const std::string& why() const { return why_; }
    void configure(int setup) { fn<void(int, int, int)>("fake_configure")(setup, 0, 0); }
    void answerInit(int handle) { fn<void(int, int, int)>("fake_configure")(0, 1, handle); }
    int closes() { return fn<int()>("fake_closes")(); }
    void last(float& f, float& step, float& span, int& mode) {
        fn<void(float*, float*, float*, int*)>("fake_last_frequency")(&f, &step, &span, &mode);
    }

private:
    template <class F>
    F* fn(const char* name) {
        return reinterpret_cast<F*>(dlsym(handle_, name));
    }
    void* handle_ = nullptr;
    std::string why_;
};

struct Bindings : ::testing::Test {
    Fake meter{"libfake_hp438a.so"}, analyzer{"libfake_hp8593e.so"};
    std::vector<std::string> status;
    TestEquipment equipment{[this](const std::string& s) { status.push_back(s); }, "libfake_hp438a.so",
                            "libfake_hp8593e.so"};
    void SetUp() override {
        ASSERT_TRUE(meter.loaded()) << meter.why();
        ASSERT_TRUE(analyzer.loaded()) << analyzer.why();
        meter.configure(0);
        analyzer.configure(0);
    }
};

}  // namespace

TEST_F(Bindings, FlagsStartFalseAndFollowTheSetUpStatusAndTheHandle) {
    EXPECT_FALSE(equipment.PowerMeterOk);
    EXPECT_FALSE(equipment.AnalyzerOk);
    equipment.initTestEquip();
    EXPECT_GT(equipment.PowerMeterHandle, 0);
    EXPECT_TRUE(equipment.PowerMeterOk);
    EXPECT_GT(equipment.AnalyzerHandle, 0);
    EXPECT_TRUE(equipment.AnalyzerOk);
    // A set-up status other than 0: no power meter, though a handle was obtained. An analyzer
    // handle of 0 or below: no analyzer.
    for (const int bad : {1, -4}) {
        meter.configure(bad);
        equipment.initTestEquip();
        EXPECT_GT(equipment.PowerMeterHandle, 0);
        EXPECT_FALSE(equipment.PowerMeterOk) << bad;
    }
    for (const int bad : {0, -1, -7}) {
        analyzer.answerInit(bad);
        equipment.initTestEquip();
        EXPECT_EQ(equipment.AnalyzerHandle, bad);
        EXPECT_FALSE(equipment.AnalyzerOk) << bad;
    }
    EXPECT_TRUE(status.empty());
}

TEST_F(Bindings, RunTwiceReplacesBothHandlesAndEndsTheOldSessions) {
    equipment.initTestEquip();
    const int meterHandle = equipment.PowerMeterHandle, analyzerHandle = equipment.AnalyzerHandle;
    equipment.initTestEquip();
    EXPECT_NE(equipment.PowerMeterHandle, meterHandle);
    EXPECT_NE(equipment.AnalyzerHandle, analyzerHandle);
    EXPECT_EQ(meter.closes(), 1);
    EXPECT_EQ(analyzer.closes(), 1);
    // InitAnalyzer replaces the handle and leaves the flags alone.
    analyzer.answerInit(-3);
    equipment.InitAnalyzer();
    EXPECT_EQ(equipment.AnalyzerHandle, -3);
    EXPECT_TRUE(equipment.AnalyzerOk);
}

TEST_F(Bindings, FrequencyAndSpanPassTheirWordsAndResults) {
    equipment.initTestEquip();
    EXPECT_EQ(equipment.SetAnalyzerFrequency(2462e6), int16_t(0x2345));
    EXPECT_EQ(equipment.SetAnalyzerSpan(30e6), 7);
    float f = 0, step = 0, span = 0;
    int mode = -1;
    analyzer.last(f, step, span, mode);
    EXPECT_EQ(f, 2462e6f);
    EXPECT_EQ(step, 5e6f);
    EXPECT_EQ(span, 30e6f);
    EXPECT_EQ(mode, 0);
}

TEST(BindingFailures, AMissingLibraryOrFunctionLeavesItsFlagFalseAndSaysWhy) {
    std::vector<std::string> status;
    TestEquipment none([&](const std::string& s) { status.push_back(s); }, "libno_such_meter.so", "libfake_hp8593e.so");
    none.initTestEquip();
    EXPECT_FALSE(none.PowerMeterOk);
    EXPECT_TRUE(none.AnalyzerOk);  // the next step still ran
    ASSERT_EQ(status.size(), 2u);  // init and set-up both failed
    EXPECT_EQ(status[0].rfind("hp438a: cannot load libno_such_meter.so: ", 0), 0u) << status[0];

    status.clear();
    TestEquipment partial([&](const std::string& s) { status.push_back(s); }, "libfake_hp438a.so",
                          "libfake_hp8593e_partial.so");
    partial.initTestEquip();
    EXPECT_TRUE(partial.PowerMeterOk);
    EXPECT_TRUE(partial.AnalyzerOk);
    EXPECT_TRUE(status.empty());
    try {
        partial.SetAnalyzerSpan(1e6);
        ADD_FAILURE() << "a missing function was called";
    } catch (const BindingError& e) {
        EXPECT_STREQ(e.what(), "hp8593e: libfake_hp8593e_partial.so has no function saSpan");
    }
    // The power meter's library offers none of the analyzer's functions.
    TestEquipment wrong([&](const std::string& s) { status.push_back(s); }, "libfake_hp438a.so", "libfake_hp438a.so");
    wrong.initTestEquip();
    EXPECT_FALSE(wrong.AnalyzerOk);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back(), "hp8593e: libfake_hp438a.so has no function saInit");
}

TEST(RealDrivers, OpenTheSimulatedBenchsInstruments) {
    vireo::sim::testing::TestBench bench;
    vireo::sim::InstrumentGateway gateway{vireo::sim::loadBench(bench.benchFile())};
    const int port = gateway.listen(0);
    vireo::sim::testing::pointDriversAt(port);
    std::vector<std::string> status;
    TestEquipment equipment([&](const std::string& s) { status.push_back(s); });
    equipment.initTestEquip();
    EXPECT_TRUE(equipment.PowerMeterOk);
    EXPECT_TRUE(equipment.AnalyzerOk);
    EXPECT_TRUE(status.empty());
    EXPECT_EQ(equipment.SetAnalyzerFrequency(2412e6), 0);
    EXPECT_EQ(equipment.SetAnalyzerSpan(20e6), 0);
    double dbm = 99;
    EXPECT_EQ(equipment.hp438a().measure(equipment.PowerMeterHandle, 0, &dbm), 0);
    EXPECT_LT(dbm, 30);
}

// Another program holding the gateway: neither instrument opens and the status bar says why; the
// operator's Retry (initTestEquip again) opens both once that program has let go.
TEST(RealDrivers, RetryOpensTheInstrumentsOnceTheGatewayIsFree) {
    vireo::sim::testing::TestBench bench;
    vireo::sim::InstrumentGateway gateway{vireo::sim::loadBench(bench.benchFile())};
    const int port = gateway.listen(0);
    vireo::sim::testing::pointDriversAt(port);
    auto other = std::make_unique<vireo::sim::testing::GatewayClient>(port);
    ASSERT_TRUE(other->connected());
    const auto waitUntil = [&](int open) {
        return vireo::sim::testing::eventually([&] { return gateway.connectionsOpen() == open; });
    };
    ASSERT_TRUE(waitUntil(1));

    std::vector<std::string> status;
    TestEquipment equipment([&](const std::string& s) { status.push_back(s); });
    equipment.initTestEquip();
    EXPECT_FALSE(equipment.PowerMeterOk);
    EXPECT_FALSE(equipment.AnalyzerOk);
    const std::string busy = "the instrument gateway at 127.0.0.1:" + std::to_string(port) + " is in use by another program";
    EXPECT_EQ(status, (std::vector<std::string>{busy, busy}));

    other.reset();
    ASSERT_TRUE(waitUntil(0));
    status.clear();
    equipment.initTestEquip();
    EXPECT_TRUE(equipment.PowerMeterOk);
    EXPECT_TRUE(equipment.AnalyzerOk);
    EXPECT_TRUE(status.empty()) << status.front();
}
