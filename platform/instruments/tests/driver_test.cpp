// The drivers against the simulated gateway over loopback: the command strings each call makes
// reach the instrument, and every failure (no gateway, no instrument, silence, garbage) ends the
// call within the read time-out with its status.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "instruments/hp438a.h"
#include "instruments/hp8593e.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/testing/gateway_client.h"
#include "vireo/sim/testing/test_bench.h"

using Strings = std::vector<std::string>;

namespace {

constexpr int kReadTimeoutMs = 150;

void pointDriversAt(int port) { vireo::sim::testing::pointDriversAt(port, kReadTimeoutMs); }

int listenOnFreePort(int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 4);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

// A gateway that accepts connections, answers "++ver" (unless `serves` is false) and answers each
// "++read" with the reply `replies` gives for the last data line (empty: none). While held it takes
// nothing in, like a gateway whose connection thread is not scheduled.
class FakeGateway {
public:
    using Replies = std::function<std::string(const std::string& lastData)>;
    explicit FakeGateway(Replies replies, bool serves = true) : replies_(std::move(replies)), serves_(serves) {
        port_ = listenOnFreePort(fd_);
        thread_ = std::thread([this] { run(); });
    }
    ~FakeGateway() {
        stop_ = true;
        thread_.join();
        for (int c : clients_) ::close(c);
        ::close(fd_);
    }
    int port() const { return port_; }
    void hold(bool on) { held_ = on; }
    // The lines taken in so far, oldest first.
    Strings lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    void run() {
        std::vector<std::string> pending;
        std::string lastData, late;
        while (!stop_) {
            std::vector<pollfd> fds{{fd_, POLLIN, 0}};
            if (!held_)
                for (int c : clients_) fds.push_back({c, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 20) <= 0 || held_) continue;
            if (fds[0].revents & POLLIN) {
                clients_.push_back(::accept(fd_, nullptr, nullptr));
                pending.emplace_back();
            }
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                char buf[512];
                const ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
                if (n <= 0) continue;
                std::string& in = pending[i - 1];
                in.append(buf, std::size_t(n));
                for (auto end = in.find('\n'); end != std::string::npos; end = in.find('\n')) {
                    const std::string line = in.substr(0, end);
                    {
                        std::lock_guard lock(mutex_);
                        lines_.push_back(line);
                    }
                    std::string reply;
                    if (line == "++ver" && serves_) reply = "Fake GPIB-ETHERNET Controller version 01.00\r\n";
                    else if (line.rfind("++read", 0) == 0 && line.rfind("++read_tmo_ms", 0) != 0) reply = replies_(lastData);
                    else if (line.rfind("++", 0) != 0) lastData = line;
                    // "late:" replies come only after the read has timed out, ahead of the next answer.
                    if (reply.rfind("late:", 0) == 0) {
                        late = reply.substr(5);
                        reply.clear();
                    } else if (!reply.empty()) {
                        reply = late + reply;
                        late.clear();
                    }
                    if (!reply.empty()) ::send(fds[i].fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                    in.erase(0, end + 1);
                }
            }
        }
    }

    Replies replies_;
    bool serves_;
    int fd_ = -1, port_ = 0;
    std::vector<int> clients_;
    mutable std::mutex mutex_;
    Strings lines_;
    std::atomic<bool> held_{false}, stop_{false};
    std::thread thread_;
};

// Instruments that identify themselves and answer everything else with `other`.
FakeGateway::Replies identifiedThen(std::string other) {
    return [other](const std::string& last) -> std::string {
        if (last == "?ID") return "HP438A\r\n";
        if (last == "ID?") return "HP8593E\r\n";
        return other;
    };
}

using vireo::sim::testing::eventually;

struct DriverFixture : ::testing::Test {
    vireo::sim::testing::TestBench bench;
    vireo::sim::InstrumentGateway gateway{vireo::sim::loadBench(bench.benchFile())};
    int port = 0;
    void SetUp() override {
        port = gateway.listen(0);
        pointDriversAt(port);
    }
};

// Runs `call` and reports how long it took.
template <class F>
std::chrono::milliseconds timed(F&& call) {
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

// What reached the instrument at `address` once `count` message units have arrived (writes are not
// answered, so they may still be on their way when the call returns), or after a second.
Strings arrived(const vireo::sim::InstrumentGateway& gateway, int address, std::size_t count) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    Strings got = gateway.received(address);
    while (got.size() < count && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        got = gateway.received(address);
    }
    return got;
}

// Well above the read time-out and the connect time-out, far below a hang.
constexpr std::chrono::milliseconds kBound{4000};

}  // namespace

TEST_F(DriverFixture, EachCallSendsItsInstrumentsProgramCodes) {
    const int meter = hp438a_init(13);
    const int analyzer = saInit(0, 1);
    ASSERT_GT(meter, 0);
    ASSERT_GT(analyzer, 0);
    EXPECT_EQ(arrived(gateway, 18, 2), (Strings{"ID?", "IP"}));
    EXPECT_EQ(gateway.received(13), Strings{"?ID"});
    double value = 0, hz = 0;
    const struct {
        const char* name;
        int address;
        std::function<int()> call;
        Strings sent;
    } cases[] = {
        {"meter setup", 13, [&] { return hp438a_setup(meter, 0, 0, 0, 0, 0); },
         {"PR", "AP", "LG", "KB100EN", "TR2", "TR3"}},
        {"meter setup B, linear, hold, 98 %, zero", 13, [&] { return hp438a_setup(meter, 1, 1, 1, 98, 1); },
         {"PR", "BP", "LN", "KB98EN", "ZE", "TR2", "TR0"}},
        {"meter measure", 13, [&] { return hp438a_measure(meter, 0, &value); }, {"TR2"}},
        {"meter measure sensor A", 13, [&] { return hp438a_measure(meter, 1, &value); }, {"AP", "TR2"}},
        {"meter cal factor", 13, [&] { return hp438a_cal_factor(meter, 97.5); }, {"KB97.5EN"}},
        {"frequency", 18, [&] { return saFrequency(analyzer, 2412e6f, 5e6f); }, {"CF 2412000000HZ", "SS 5000000HZ"}},
        {"span", 18, [&] { return saSpan(analyzer, 0, 20e6f); }, {"SP 20000000HZ"}},
        {"zero span", 18, [&] { return saSpan(analyzer, 1, 20e6f); }, {"SP 0HZ"}},
        {"bandwidth", 18, [&] { return saConfigBandwidth(analyzer, 1, 1000000, 1, 0, 100, 3000, 0.3); },
         {"RB 1000000HZ", "VBR 0.3", "VB 3000HZ", "VAVG OFF"}},
        {"bandwidth coupled, averaged", 18, [&] { return saConfigBandwidth(analyzer, 0, 0, 0, 1, 100, 0, 1.0); },
         {"RB AUTO", "VBR 1", "VB AUTO", "VAVG 100"}},
        {"sweep", 18, [&] { return saConfigSweep(analyzer, 0, 1, 0.1); }, {"TM FREE", "CONTS", "ST 0.1SC"}},
        {"marker peak", 18, [&] { return saConfigMarkerPeak(analyzer, 6.0, 0, 0, 0); }, {"MKPX 6DB", "MKTRACK OFF"}},
        {"marker peak threshold", 18, [&] { return saConfigMarkerPeak(analyzer, 3.0, -90, 0, 0); },
         {"MKPX 3DB", "MKPT -90DM", "MKTRACK OFF"}},
        {"amplitude", 18, [&] { return saAmplitude(analyzer, 0, 0, 0, 1, 10.0, 0, 8, 0, 0); },
         {"AT AUTO", "AUNITS DBM", "INZ 50", "LG 10DB", "DET POS", "CLRW TRA", "ROFFSET 0DB"}},
        {"amplitude level", 18, [&] { return saAmplitudeLevel(analyzer, -25.0, 0, 0, 0, -10.0, 0, 0); },
         {"RL -25DM", "ML -10DM"}},
        {"peak search", 18, [&] { return saConfigMarkerToFunction(analyzer, 1, 4); }, {"MKACT 1", "MKPK HI"}},
        {"next peak left", 18, [&] { return saConfigMarkerToFunction(analyzer, 2, 6); }, {"MKACT 2", "MKPK NL"}},
        {"next peak right", 18, [&] { return saConfigMarkerToFunction(analyzer, 3, 7); }, {"MKACT 3", "MKPK NR"}},
        {"activate marker", 18, [&] { return saActivateMarker(analyzer, 2); }, {"MKACT 2"}},
        {"marker amplitude", 18, [&] { return saReadMarkerAmplitude(analyzer, &value); }, {"MKA?"}},
        {"marker off", 18, [&] { return saConfigMarkerActivation(analyzer, 2, 0); }, {"MKACT 2", "MKOFF"}},
        {"markers off", 18, [&] { return saDeactivateMarkers(analyzer); }, {"MKOFF ALL"}},
        {"title", 18, [&] { return saWriteString(analyzer, "Birch 00:11 ch 6"); }, {"TITLE@Birch 00:11 ch 6@"}},
        {"zoom to peak", 18, [&] { return saZoomReadPeak(analyzer, &hz, &value); }, {"MKPK HI", "MKCF", "MKF?", "MKA?"}},
        {"reset", 18, [&] { return saReset(analyzer); }, {"IP"}},
    };
    for (const auto& c : cases) {
        gateway.forgetReceived();
        EXPECT_EQ(c.call(), INSTR_SUCCESS) << c.name;
        EXPECT_EQ(arrived(gateway, c.address, c.sent.size()), c.sent) << c.name;
    }
    gateway.forgetReceived();
    EXPECT_EQ(hp438a_close(meter), INSTR_SUCCESS);
    EXPECT_EQ(saClose(analyzer), INSTR_SUCCESS);
    EXPECT_EQ(hp438a_measure(meter, 0, &value), INSTR_ERR_HANDLE);
    EXPECT_EQ(saReset(analyzer), INSTR_ERR_HANDLE);
}

TEST_F(DriverFixture, ReadingsComeBackAsNumbers) {
    const int meter = hp438a_init(13);
    ASSERT_EQ(hp438a_setup(meter, 0, 0, 0, 0, 0), INSTR_SUCCESS);
    double dbm = 123.0;
    ASSERT_EQ(hp438a_measure(meter, 0, &dbm), INSTR_SUCCESS);
    EXPECT_LT(dbm, 30.0);
    const int analyzer = saInit(0, 1);
    ASSERT_EQ(saFrequency(analyzer, 2437e6f, 5e6f), INSTR_SUCCESS);
    ASSERT_EQ(saSpan(analyzer, 0, 20e6f), INSTR_SUCCESS);
    double marker = 123.0, hz = 0;
    ASSERT_EQ(saConfigMarkerToFunction(analyzer, 1, 4), INSTR_SUCCESS);
    ASSERT_EQ(saReadMarkerAmplitude(analyzer, &marker), INSTR_SUCCESS);
    EXPECT_LT(marker, 0.0);
    ASSERT_EQ(saZoomReadPeak(analyzer, &hz, &marker), INSTR_SUCCESS);
    EXPECT_GE(hz, 2426e6);
    EXPECT_LE(hz, 2448e6);
    hp438a_close(meter);
    saClose(analyzer);
}

TEST_F(DriverFixture, ArgumentsTheInstrumentCannotTakeAreRefusedUnsent) {
    const int analyzer = saInit(0, 0);
    ASSERT_GT(analyzer, 0);
    gateway.forgetReceived();
    double v = 0;
    EXPECT_EQ(saWriteString(analyzer, "a@b"), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saWriteString(analyzer, "line\nend"), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saWriteString(analyzer, std::string(65, 'x').c_str()), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saWriteString(analyzer, nullptr), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saConfigMarkerToFunction(analyzer, 1, 5), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saConfigMarkerToFunction(analyzer, 5, 4), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saAmplitude(analyzer, 0, 0, 0, 1, 10.0, 0, 10, 0, 0), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saFrequency(analyzer, -1.0f, 5e6f), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saSpan(analyzer, 2, 1e6f), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saReadMarkerAmplitude(analyzer, nullptr), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(saInit(31, 0), INSTR_ERR_ARGUMENT);
    const int meter = hp438a_init(13);
    gateway.forgetReceived();
    EXPECT_EQ(hp438a_setup(meter, 2, 0, 0, 0, 0), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(hp438a_cal_factor(meter, 0.5), INSTR_ERR_ARGUMENT);
    EXPECT_EQ(hp438a_measure(12345, 0, &v), INSTR_ERR_HANDLE);
    // Only what follows the refused calls reaches the instruments.
    ASSERT_EQ(saActivateMarker(analyzer, 1), INSTR_SUCCESS);
    ASSERT_EQ(hp438a_cal_factor(meter, 100), INSTR_SUCCESS);
    EXPECT_EQ(arrived(gateway, 18, 1), Strings{"MKACT 1"});
    EXPECT_EQ(arrived(gateway, 13, 1), Strings{"KB100EN"});
    hp438a_close(meter);
    saClose(analyzer);
}

TEST_F(DriverFixture, AbsentInstrumentTimesOutAndLeavesTheValue) {
    int meter = 0, analyzer = 0;
    EXPECT_LT(timed([&] { analyzer = saInit(7, 0); }), kBound);
    EXPECT_EQ(analyzer, INSTR_ERR_TIMEOUT);
    EXPECT_LT(timed([&] { meter = hp438a_init(5); }), kBound);  // the gateway is there; the meter is not
    EXPECT_EQ(meter, INSTR_ERR_TIMEOUT);
    // Its session is gone with the failed init; one on the meter's address that stops answering
    // mid-session leaves the value alone.
    meter = hp438a_init(13);
    ASSERT_GT(meter, 0);
    double v = -99.0;
    EXPECT_EQ(hp438a_measure(meter, 0, &v), INSTR_SUCCESS);
    EXPECT_NE(v, -99.0);
    hp438a_close(meter);
}

TEST_F(DriverFixture, AGatewayThatStopsFailsOpenSessionsAndNewOnes) {
    const int meter = hp438a_init(13);
    ASSERT_EQ(hp438a_setup(meter, 0, 0, 0, 0, 0), INSTR_SUCCESS);
    const int analyzer = saInit(0, 0);
    ASSERT_GT(analyzer, 0);
    gateway.stop();  // the registry still names its port
    double v = -99.0;
    int meterStatus = 0, analyzerStatus = 0, again = 0;
    EXPECT_LT(timed([&] {
                  meterStatus = hp438a_measure(meter, 0, &v);
                  analyzerStatus = saReadMarkerAmplitude(analyzer, &v);
                  again = hp438a_init(13);
              }),
              kBound);
    EXPECT_EQ(meterStatus, INSTR_ERR_IO);
    EXPECT_EQ(analyzerStatus, INSTR_ERR_IO);
    EXPECT_EQ(v, -99.0);
    EXPECT_EQ(again, INSTR_ERR_NO_GATEWAY);
    EXPECT_EQ(hp438a_close(meter), INSTR_SUCCESS);
    EXPECT_EQ(saClose(analyzer), INSTR_SUCCESS);
}

TEST(DriverFailures, NoGatewayListening) {
    vireo::sim::testing::TestBench bench;
    int fd = -1;
    const int port = listenOnFreePort(fd);
    ::close(fd);  // nothing listens there now
    pointDriversAt(port);
    int meter = 0, analyzer = 0;
    EXPECT_LT(timed([&] { meter = hp438a_init(13); analyzer = saInit(0, 1); }), kBound);
    EXPECT_EQ(meter, INSTR_ERR_NO_GATEWAY);
    EXPECT_EQ(analyzer, INSTR_ERR_NO_GATEWAY);
    EXPECT_EQ(hp438a_setup(meter, 0, 0, 0, 0, 0), INSTR_ERR_HANDLE);
}

// A gateway that takes the connection but does not serve it (the real controller with another
// client) is busy, not absent, and says so within the time-outs.
TEST(DriverFailures, AGatewayThatTakesTheConnectionButNeverServesItIsBusy) {
    vireo::sim::testing::TestBench bench;
    FakeGateway unserving(identifiedThen("1\r\n"), false);
    pointDriversAt(unserving.port());
    int meter = 0;
    EXPECT_LT(timed([&] { meter = hp438a_init(13); }), kBound);
    EXPECT_EQ(meter, INSTR_ERR_BUSY);
}

TEST(DriverFailures, SilentInstrumentsFailWithinTheTimeOut) {
    vireo::sim::testing::TestBench bench;
    FakeGateway silent(identifiedThen(""));
    pointDriversAt(silent.port());
    const int meter = hp438a_init(13);
    const int analyzer = saInit(0, 0);
    ASSERT_GT(meter, 0);
    ASSERT_GT(analyzer, 0);
    int status = 0;
    double v = -99.0;
    EXPECT_LT(timed([&] { status = hp438a_setup(meter, 0, 0, 0, 0, 0); }), kBound);
    EXPECT_EQ(status, INSTR_ERR_TIMEOUT);
    EXPECT_LT(timed([&] { status = saReadMarkerAmplitude(analyzer, &v); }), kBound);
    EXPECT_EQ(status, INSTR_ERR_TIMEOUT);
    EXPECT_EQ(v, -99.0);
    hp438a_close(meter);
    saClose(analyzer);
}

TEST(DriverFailures, GarbageRepliesFailAndLeaveTheValue) {
    vireo::sim::testing::TestBench bench;
    // The last is the meter's over-range code: garbage to the meter, a number to the analyzer.
    for (const std::string garbage : {"\x01\xfe garbage\r\n", "12 dBm\r\n", "+9.000E+40\r\n"}) {
        const bool analyzerGarbage = garbage[0] != '+';
        FakeGateway babbling(identifiedThen(garbage));
        pointDriversAt(babbling.port());
        const int meter = hp438a_init(13);
        ASSERT_GT(meter, 0);
        EXPECT_EQ(hp438a_setup(meter, 0, 0, 0, 0, 0), INSTR_ERR_REPLY) << garbage;
        double v = -99.0;
        EXPECT_EQ(hp438a_measure(meter, 0, &v), INSTR_ERR_REPLY) << garbage;
        EXPECT_EQ(v, -99.0);
        const int analyzer = saInit(0, 0);
        ASSERT_GT(analyzer, 0);
        if (analyzerGarbage) {
            EXPECT_EQ(saReadMarkerAmplitude(analyzer, &v), INSTR_ERR_REPLY) << garbage;
            EXPECT_EQ(v, -99.0);
        }
        hp438a_close(meter);
        saClose(analyzer);
    }
}

// A reply that comes after its read timed out is never handed back for a later query: the driver
// returns only values it read in answer to the call.
TEST(DriverFailures, ALateReplyIsNotTakenForTheNextAnswer) {
    vireo::sim::testing::TestBench bench;
    FakeGateway slow([](const std::string& last) -> std::string {
        if (last == "?ID") return "HP438A\r\n";
        if (last == "ID?") return "HP8593E\r\n";
        if (last == "MKA?") return "late:-33.33\r\n";
        return "-12.5\r\n";
    });
    pointDriversAt(slow.port());
    const int meter = hp438a_init(13);
    const int analyzer = saInit(0, 0);
    ASSERT_GT(meter, 0);
    ASSERT_GT(analyzer, 0);
    double marker = 99.0, power = 99.0;
    EXPECT_EQ(saReadMarkerAmplitude(analyzer, &marker), INSTR_ERR_TIMEOUT);
    EXPECT_EQ(marker, 99.0);
    EXPECT_EQ(hp438a_measure(meter, 0, &power), INSTR_SUCCESS);
    EXPECT_EQ(power, -12.5) << "the marker's late -33.33 is not the meter's reading";
    hp438a_close(meter);
    saClose(analyzer);
}

// Each init checks that the instrument at its address is the one it drives: with the two
// instruments' addresses swapped, neither opens, and each says why.
TEST(DriverIdentity, TheWrongInstrumentAtAnAddressIsRefused) {
    std::string json = vireo::sim::testing::defaultBenchJson();
    json.replace(json.find("\"gpibAddress\": 13"), 17, "\"gpibAddress\": 99");
    json.replace(json.find("\"gpibAddress\": 18"), 17, "\"gpibAddress\": 13");
    json.replace(json.find("\"gpibAddress\": 99"), 17, "\"gpibAddress\": 18");
    vireo::sim::testing::TestBench bench(json);
    vireo::sim::InstrumentGateway gateway{vireo::sim::loadBench(bench.benchFile())};
    pointDriversAt(gateway.listen(0));
    const int analyzer = saInit(18, 1);  // where the drivers expect it; the meter is there
    const int meter = hp438a_init(13);
    EXPECT_EQ(analyzer, INSTR_ERR_IDENTITY);
    EXPECT_EQ(meter, INSTR_ERR_IDENTITY);
    char text[160];
    saErrorMessage(analyzer, analyzer, text, sizeof text);
    EXPECT_STREQ(text, "another instrument answers in place of the spectrum analyzer");
    // Nothing was set on the meter in the analyzer's place (no preset, no reading taken for one).
    EXPECT_EQ(gateway.received(18), Strings{"ID?"});
    EXPECT_TRUE(eventually([&] { return gateway.connectionsOpen() == 0; })) << "a failed init leaves no connection open";
}

// One connection per gateway for the whole process: the sessions of both drivers share it, each
// transaction addresses its instrument when the controller is addressing the other one, and the
// last session to close gives the gateway back.
TEST(DriverSessions, BothDriversShareOneConnectionAndAddressEachTransaction) {
    vireo::sim::testing::TestBench bench;
    FakeGateway gateway(identifiedThen("-12.5\r\n"));
    pointDriversAt(gateway.port());
    const int meter = hp438a_init(13);
    const int analyzer = saInit(0, 0);
    const int meter2 = hp438a_init(13);
    ASSERT_GT(meter, 0);
    ASSERT_GT(analyzer, 0);
    ASSERT_GT(meter2, 0);
    double v = 0;
    ASSERT_EQ(hp438a_measure(meter, 0, &v), INSTR_SUCCESS);
    ASSERT_EQ(hp438a_measure(meter2, 0, &v), INSTR_SUCCESS);
    ASSERT_EQ(saReadMarkerAmplitude(analyzer, &v), INSTR_SUCCESS);
    ASSERT_EQ(saActivateMarker(analyzer, 1), INSTR_SUCCESS);
    ASSERT_EQ(hp438a_measure(meter, 0, &v), INSTR_SUCCESS);
    EXPECT_EQ(v, -12.5);
    hp438a_close(meter);
    hp438a_close(meter2);
    saClose(analyzer);
    ASSERT_TRUE(eventually([&] { return gateway.lines().back() == "++ver"; }));
    const Strings lines = gateway.lines();
    Strings sent;  // what followed the set-up, without the set-up's own lines
    const auto setUpEnd = std::find(lines.begin(), lines.end(), "++ver");
    ASSERT_NE(setUpEnd, lines.end());
    EXPECT_EQ(Strings(lines.begin(), setUpEnd),
              (Strings{"++savecfg 0", "++mode 1", "++auto 0", "++eoi 1", "++eos 2", "++eot_enable 0",
                       "++read_tmo_ms 150"}));
    EXPECT_EQ(Strings(setUpEnd + 1, lines.end()),
              (Strings{"++addr 13", "++clr", "?ID", "++read eoi",        // meter init
                       "++addr 18", "++clr", "ID?", "++read eoi",        // analyzer init
                       "++addr 13", "++clr", "?ID", "++read eoi",        // second meter session
                       "TR2", "++read eoi", "TR2", "++read eoi",         // both meters: no re-addressing
                       "++addr 18", "MKA?", "++read eoi", "MKACT 1",     // the analyzer
                       "++addr 13", "TR2", "++read eoi",                 // the meter again
                       "++ver"}))                                        // the last close
        << "one connection: a second one would have sent its own set-up";
}

// Transactions are serialised: two threads reading the meter and the analyzer at once over the one
// connection each get their own instrument's answer, every time.
TEST(DriverSessions, ConcurrentCallsOnBothInstrumentsGetTheirOwnAnswers) {
    vireo::sim::testing::TestBench bench;
    FakeGateway gateway([](const std::string& last) -> std::string {
        if (last == "?ID") return "HP438A\r\n";
        if (last == "ID?") return "HP8593E\r\n";
        return last == "MKA?" ? "-33.25\r\n" : "-12.5\r\n";
    });
    pointDriversAt(gateway.port());
    const int meter = hp438a_init(13);
    const int analyzer = saInit(0, 0);
    ASSERT_GT(meter, 0);
    ASSERT_GT(analyzer, 0);
    std::atomic<int> wrong{0};
    auto loop = [&](const std::function<int(double&)>& read, double expected) {
        for (int i = 0; i < 200; ++i) {
            double v = 0;
            if (read(v) != INSTR_SUCCESS || v != expected) ++wrong;
        }
    };
    std::thread a([&] { loop([&](double& v) { return hp438a_measure(meter, 0, &v); }, -12.5); });
    std::thread b([&] { loop([&](double& v) { return saReadMarkerAmplitude(analyzer, &v); }, -33.25); });
    a.join();
    b.join();
    EXPECT_EQ(wrong, 0);
    hp438a_close(meter);
    saClose(analyzer);
}

// A second program finding the gateway in use gets the busy error, with the gateway's address, and
// opens once the other program has let go.
TEST_F(DriverFixture, AGatewayInUseByAnotherProgramIsBusyUntilItLetsGo) {
    auto other = std::make_unique<vireo::sim::testing::GatewayClient>(port);
    ASSERT_TRUE(other->connected());
    ASSERT_TRUE(eventually([&] { return gateway.connectionsOpen() == 1; }));
    int meter = 0;
    EXPECT_LT(timed([&] { meter = hp438a_init(13); }), kBound);
    EXPECT_EQ(meter, INSTR_ERR_BUSY);
    EXPECT_EQ(saInit(0, 0), INSTR_ERR_BUSY);
    char text[160];
    hp438a_error_message(meter, meter, text, sizeof text);
    EXPECT_EQ(std::string(text), "the instrument gateway at 127.0.0.1:" + std::to_string(port) + " is in use by another program");
    other.reset();
    ASSERT_TRUE(eventually([&] { return gateway.connectionsOpen() == 0; }));
    meter = hp438a_init(13);
    EXPECT_GT(meter, 0);
    hp438a_close(meter);
}

// The same between two processes that both use the drivers: the second is told the gateway is
// busy while the first holds a session, and gets its own once the first has closed it.
TEST_F(DriverFixture, TwoProcessesTakeTurnsAtTheGateway) {
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int meter = hp438a_init(13);
        const char opened = meter > 0 ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &opened, 1);
        char go = 0;
        n = ::read(release[0], &go, 1);
        hp438a_close(meter);
        ::_exit(0);
    }
    char opened = 0;
    ASSERT_EQ(::read(ready[0], &opened, 1), 1);
    ASSERT_EQ(opened, 'y') << "the first process opens the meter";
    EXPECT_EQ(saInit(0, 0), INSTR_ERR_BUSY);
    const char go = 'g';
    ASSERT_EQ(::write(release[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(eventually([&] { return gateway.connectionsOpen() == 0; }));
    const int analyzer = saInit(0, 0);
    EXPECT_GT(analyzer, 0);
    saClose(analyzer);
    EXPECT_EQ(gateway.connectionsServed(), 2);
    EXPECT_GE(gateway.connectionsTurnedAway(), 1);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

// Closing a session returns only once the gateway has taken in what the session wrote, so a late
// write (a preset, say) cannot reach the instrument after the commands of the session opened next.
TEST(DriverSessions, CloseReturnsOnceTheGatewayTookInEveryWrite) {
    vireo::sim::testing::TestBench bench;
    FakeGateway gateway(identifiedThen(""));
    pointDriversAt(gateway.port());
    const int analyzer = saInit(0, 0);
    ASSERT_GT(analyzer, 0);
    gateway.hold(true);
    ASSERT_EQ(saActivateMarker(analyzer, 2), INSTR_SUCCESS);  // written, not yet taken in
    Strings atClose;
    int status = 0;
    std::thread closer([&] {
        status = saClose(analyzer);
        atClose = gateway.lines();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    gateway.hold(false);
    closer.join();
    EXPECT_EQ(status, INSTR_SUCCESS);
    EXPECT_NE(std::find(atClose.begin(), atClose.end(), "MKACT 2"), atClose.end()) << "taken in before the close returned";
}
