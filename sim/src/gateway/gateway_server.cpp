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

constexpr const char* kVersion = "Vireo bench GPIB-ETHERNET gateway version 01.06.06.00";
constexpr std::size_t kMaxClients = 16;

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

// One client's gateway settings.
struct Session {
    int address = 0;
    bool autoRead = false;
    bool eoi = true;
    int eos = 0;
    int readTimeoutMs = 500;
    bool eotEnable = false;
    int eotChar = 0;
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
    bool command(int fd, Session& s, const HostLine& line);
    bool readInstrument(int fd, Session& s);
    void acceptLoop();
};

bool InstrumentGateway::State::readInstrument(int fd, Session& s) {
    Instrument* in = at(s.address);
    std::optional<std::string> reply = in ? in->talk() : std::nullopt;
    if (!reply) return pause(s.readTimeoutMs);  // the read times out with nothing to pass on
    if (s.eotEnable) *reply += char(s.eotChar);
    return sendAll(fd, *reply);
}

bool InstrumentGateway::State::command(int fd, Session& s, const HostLine& line) {
    const std::string& a = line.argument;
    auto reply = [&](const std::string& text) { return sendAll(fd, text + "\r\n"); };
    auto flag = [&](bool& value) {
        if (a.empty()) return reply(value ? "1" : "0");
        if (auto v = integerArgument(a, 0, 1)) value = *v == 1;
        return true;
    };
    auto number = [&](int& value, int lo, int hi) {
        if (a.empty()) return reply(std::to_string(value));
        if (auto v = integerArgument(a, lo, hi)) value = *v;
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
    if (n == "mode") {
        int mode = 1;  // only the controller mode is offered
        return a.empty() ? reply("1") : (number(mode, 0, 1), true);
    }
    if (n == "ver") return reply(kVersion);
    if (n == "read") return readInstrument(fd, s);
    if (n == "clr") {
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
        s = Session{};
        return true;
    }
    if (n == "ifc" || n == "loc" || n == "savecfg" || n == "llo") return true;
    if (n == "help")
        return reply("++addr ++auto ++clr ++eoi ++eos ++eot_enable ++eot_char ++ifc ++llo ++loc ++mode ++read "
                     "++read_tmo_ms ++rst ++savecfg ++spoll ++srq ++trg ++ver ++help");
    return reply("Unrecognized command");
}

void InstrumentGateway::State::serve(Client& client) {
    Session session;
    HostInput input;
    char buf[2048];
    for (;;) {
        const ssize_t n = ::recv(client.fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bool alive = true;
        for (const HostLine& line : input.feed({buf, std::size_t(n)})) {
            if (line.command) {
                alive = command(client.fd, session, line);
            } else if (Instrument* in = at(session.address)) {
                in->receive(line.data);
                if (session.autoRead) alive = readInstrument(client.fd, session);
            } else if (session.autoRead) {
                alive = pause(session.readTimeoutMs);
            }
            if (!alive) break;
        }
        if (!alive) break;
    }
    ::shutdown(client.fd, SHUT_RDWR);
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
        if (clients.size() >= kMaxClients) {
            ::close(fd);
            continue;
        }
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

void InstrumentGateway::forgetReceived() {
    for (auto& [address, in] : state_->instruments) in->forgetReceived();
}

}  // namespace vireo::sim
