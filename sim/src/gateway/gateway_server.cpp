#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "device_file.h"
#include "instrument.h"
#include "prologix.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/rf_emission.h"

namespace vireo::sim {

using namespace gateway;

namespace {

// The reply's form is the real controller's: "<maker> GPIB-ETHERNET Controller version NN.NN.NN.NN".
constexpr const char* kVersion = "Vireo GPIB-ETHERNET Controller version 01.06.06.00";

// The emission of the adapter on the RF cable, as published in its state folder.
class CableSource final : public RfSource {
public:
    CableSource(std::optional<std::filesystem::path> stateDir, double loss) : stateDir_(std::move(stateDir)), loss_(loss) {}
    Emission emission() const override { return stateDir_ ? readPublishedEmission(*stateDir_) : Emission{}; }
    double lossDb() const override { return loss_; }

private:
    std::optional<std::filesystem::path> stateDir_;
    double loss_;
};

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

// The controller's configuration: one for the whole controller, kept by whoever connects next.
// With ++savecfg on, every change is also saved and comes back after ++rst.
struct Settings {
    int address = 0;
    bool autoRead = false;
    bool eoi = true;
    int eos = 0;  // 0 CR+LF, 1 CR, 2 LF, 3 nothing appended to what goes to an instrument
    int readTimeoutMs = 500;
    bool eotEnable = false;
    int eotChar = 0;
    bool operator==(const Settings&) const = default;
};

std::optional<int> integerArgument(const std::string& a, int lo, int hi) {
    if (a.empty() || a.size() > 6 || a.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const int v = std::stoi(a);
    if (v < lo || v > hi) return std::nullopt;
    return v;
}

}  // namespace

struct InstrumentGateway::State {
    std::unique_ptr<CableSource> rf;
    std::map<int, std::unique_ptr<Instrument>> instruments;

    int listenFd = -1;
    std::thread acceptor;
    std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;
    struct Client {
        int fd;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::list<Client> clients;

    // Controller state, used by the one client served at a time.
    Settings settings, saved;
    bool saveConfig = true;  // not itself saved: on after every start
    std::map<int, std::string> talking;  // the rest of a reply a "++read <char>" left, by address
    int served = 0, turnedAway = 0;
    std::atomic<int> open{0};

    Instrument* at(int address) {
        auto it = instruments.find(address);
        return it == instruments.end() ? nullptr : it->second.get();
    }

    // Waits `ms` unless the gateway stops first; false when it stops.
    bool pause(int ms) {
        std::unique_lock lock(mutex);
        return !stopped.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
    }

    void serve(Client& client);
    bool command(int fd, const HostLine& line);
    // `until`: -1 read until EOI, -2 until the time-out, else until that character.
    bool readInstrument(int fd, int until);
    void changed();
    void acceptLoop();
};

void InstrumentGateway::State::changed() {
    if (saveConfig) saved = settings;
}

bool InstrumentGateway::State::readInstrument(int fd, int until) {
    const Settings& s = settings;
    std::optional<std::string> reply;
    if (auto rest = talking.find(s.address); rest != talking.end()) {
        reply = std::move(rest->second);
        talking.erase(rest);
    } else if (Instrument* in = at(s.address)) {
        reply = in->talk();
    }
    if (!reply || reply->empty()) return pause(s.readTimeoutMs);  // nothing to pass on: the read times out
    // The instrument asserts EOI with its reply's last byte.
    bool endOfReply = true;
    if (until >= 0) {
        if (const auto at = reply->find(char(until)); at != std::string::npos && at + 1 < reply->size()) {
            talking[s.address] = reply->substr(at + 1);
            reply->resize(at + 1);
            endOfReply = false;
        }
    }
    if (endOfReply && s.eotEnable) *reply += char(s.eotChar);
    if (!sendAll(fd, *reply)) return false;
    // Read until the time-out: the gateway goes on listening until nothing has come for that long.
    if (until == -2) return pause(s.readTimeoutMs);
    return true;
}

bool InstrumentGateway::State::command(int fd, const HostLine& line) {
    Settings& s = settings;
    const std::string& a = line.argument;
    auto reply = [&](const std::string& text) { return sendAll(fd, text + "\r\n"); };
    auto flag = [&](bool& value) {
        if (a.empty()) return reply(value ? "1" : "0");
        if (auto v = integerArgument(a, 0, 1)) value = *v == 1, changed();
        return true;
    };
    auto number = [&](int& value, int lo, int hi) {
        if (a.empty()) return reply(std::to_string(value));
        if (auto v = integerArgument(a, lo, hi)) value = *v, changed();
        return true;
    };
    const std::string& n = line.name;
    if (n == "addr") return number(s.address, 0, 30);
    if (n == "auto") return flag(s.autoRead);
    if (n == "eoi") return flag(s.eoi);
    if (n == "eos") return number(s.eos, 0, 3);
    if (n == "eot_enable") return flag(s.eotEnable);
    if (n == "eot_char") return number(s.eotChar, 0, 255);
    if (n == "read_tmo_ms") return number(s.readTimeoutMs, 1, 3000);
    if (n == "savecfg") {
        const bool alive = flag(saveConfig);
        if (saveConfig) saved = settings;  // turned on: what is set now is saved
        return alive;
    }
    if (n == "mode") {
        int mode = 1;  // only the controller mode is offered
        return a.empty() ? reply("1") : (number(mode, 0, 1), true);
    }
    if (n == "ver") return reply(kVersion);
    if (n == "read") {
        if (a.empty()) return readInstrument(fd, -2);
        if (a == "eoi") return readInstrument(fd, -1);
        if (auto c = integerArgument(a, 0, 255)) return readInstrument(fd, *c);
        return true;  // an argument it does not take: nothing read
    }
    if (n == "clr") {
        talking.erase(s.address);
        if (Instrument* in = at(s.address)) in->clear();
        return true;
    }
    if (n == "trg") {
        if (Instrument* in = at(s.address)) in->trigger();
        return true;
    }
    if (n == "spoll") {
        int address = s.address;
        if (!a.empty()) {
            auto v = integerArgument(a, 0, 30);
            if (!v) return true;
            address = *v;
        }
        if (!at(address)) return pause(s.readTimeoutMs);
        return reply("0");
    }
    if (n == "srq") return reply("0");
    if (n == "rst") {
        // A power-on reset: the saved configuration, automatic saving on again.
        settings = saved;
        saveConfig = true;
        talking.clear();
        return true;
    }
    if (n == "ifc" || n == "loc" || n == "llo") return true;
    if (n == "help")
        return reply("++addr ++auto ++clr ++eoi ++eos ++eot_enable ++eot_char ++ifc ++llo ++loc ++mode ++read "
                     "++read_tmo_ms ++rst ++savecfg ++spoll ++srq ++trg ++ver ++help");
    return reply("Unrecognized command");
}

void InstrumentGateway::State::serve(Client& client) {
    HostInput input;
    char buf[2048];
    static constexpr const char* kTerminators[] = {"\r\n", "\r", "\n", ""};
    for (;;) {
        const ssize_t n = ::recv(client.fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bool alive = true;
        for (const HostLine& line : input.feed({buf, std::size_t(n)})) {
            if (line.command) {
                alive = command(client.fd, line);
            } else if (Instrument* in = at(settings.address)) {
                in->receive(line.data + kTerminators[settings.eos]);
                if (settings.autoRead) alive = readInstrument(client.fd, -1);
            } else if (settings.autoRead) {
                alive = pause(settings.readTimeoutMs);
            }
            if (!alive) break;
        }
        if (!alive) break;
    }
    ::shutdown(client.fd, SHUT_RDWR);
    --open;
    client.done = true;
}

void InstrumentGateway::State::acceptLoop() {
    for (;;) {
        pollfd p{listenFd, POLLIN, 0};
        const int r = ::poll(&p, 1, 100);
        {
            std::lock_guard lock(mutex);
            if (stopping) return;
            // Finished clients leave the list.
            for (auto it = clients.begin(); it != clients.end();) {
                if (it->done) {
                    it->thread.join();
                    ::close(it->fd);
                    it = clients.erase(it);
                } else {
                    ++it;
                }
            }
        }
        if (r <= 0) continue;
        const int fd = ::accept(listenFd, nullptr, nullptr);
        if (fd < 0) continue;
        std::lock_guard lock(mutex);
        if (open > 0) {
            // One client at a time: the controller closes a second connection without serving it.
            ++turnedAway;
            ::close(fd);
            continue;
        }
        ++served;
        ++open;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Client& c = clients.emplace_back();
        c.fd = fd;
        c.thread = std::thread([this, &c] { serve(c); });
    }
}

InstrumentGateway::InstrumentGateway(const BenchSpec& bench) : state_(std::make_unique<State>()) {
    std::optional<std::filesystem::path> stateDir;
    if (const AdapterSpec* a = bench.adapter(bench.rfCable.adapterKey)) stateDir = adapterStateDir(bench, *a);
    state_->rf = std::make_unique<CableSource>(stateDir, bench.rfCable.lossDb);
    for (const auto* spec : {&bench.powerMeter, &bench.spectrumAnalyzer}) {
        if (!*spec) continue;
        const InstrumentSpec& i = **spec;
        DeviceDefinition def;
        try {
            const std::filesystem::path file =
                i.deviceFile.empty() ? defaultDeviceFile(i.model) : std::filesystem::path(i.deviceFile);
            def = loadDeviceFile(file, i.deviceFile.empty() ? i.model : "");
        } catch (const DeviceFileError& e) {
            throw BenchError(bench.file.string() + ": instrument " + i.model + ": " + e.what());
        }
        const int address = i.gpibAddress.value_or(def.defaultAddress.value_or(-1));
        if (address < 0) throw BenchError(bench.file.string() + ": instrument " + i.model + " has no GPIB address");
        if (state_->instruments.count(address))
            throw BenchError(bench.file.string() + ": two instruments at GPIB address " + std::to_string(address));
        state_->instruments[address] = std::make_unique<Instrument>(std::move(def), *state_->rf);
    }
}

InstrumentGateway::~InstrumentGateway() { stop(); }

int InstrumentGateway::listen(int port) {
    if (state_->listenFd >= 0) throw std::runtime_error("the gateway is already listening");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("cannot make a socket: ") + std::strerror(errno));
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + why);
    }
    state_->listenFd = fd;
    state_->stopping = false;
    state_->acceptor = std::thread([s = state_.get()] { s->acceptLoop(); });
    return ntohs(addr.sin_port);
}

void InstrumentGateway::stop() {
    if (state_->listenFd < 0) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        for (auto& c : state_->clients) ::shutdown(c.fd, SHUT_RDWR);
    }
    state_->stopped.notify_all();
    state_->acceptor.join();
    for (auto& c : state_->clients) {
        c.thread.join();
        ::close(c.fd);
    }
    state_->clients.clear();
    ::close(state_->listenFd);
    state_->listenFd = -1;
}

std::vector<std::pair<int, std::string>> InstrumentGateway::instruments() const {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& [address, in] : state_->instruments) out.emplace_back(address, in->definition().name);
    return out;
}

std::vector<std::string> InstrumentGateway::received(int address) const {
    auto it = state_->instruments.find(address);
    return it == state_->instruments.end() ? std::vector<std::string>{} : it->second->received();
}

int InstrumentGateway::connectionsServed() const {
    std::lock_guard lock(state_->mutex);
    return state_->served;
}

int InstrumentGateway::connectionsTurnedAway() const {
    std::lock_guard lock(state_->mutex);
    return state_->turnedAway;
}

int InstrumentGateway::connectionsOpen() const { return state_->open; }

void InstrumentGateway::forgetReceived() {
    for (auto& [address, in] : state_->instruments) in->forgetReceived();
}

}  // namespace vireo::sim
