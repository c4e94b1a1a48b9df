#include "farlink/exporter.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <kj/async-io.h>
#include <kj/compat/tls.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <iostream>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "farlink/credentials.h"
#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"
#include "rpc_session.h"
#include "wire_values.h"

namespace farlink {

namespace {

constexpr int kKeepAliveIdleSeconds = 5;
constexpr int kKeepAliveIntervalSeconds = 2;
constexpr int kKeepAliveProbes = 3;
constexpr unsigned kMaxRequestedInterfaces = 32;

void defaultLog(const std::string& line) {
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::cerr << stamp << " farlinkd: " << line << std::endl;
}

// What an authenticated client reaches first: object creation by class id in its apartment.
class ExporterServer final : public wire::Exporter::Server {
public:
    explicit ExporterServer(std::shared_ptr<Peer> peer) : peer_(std::move(peer)) {}

protected:
    kj::Promise<void> createInstance(CreateInstanceContext context) override {
        return inApartment(peer_->queue(), context, [this](CreateInstanceContext& c) {
            auto params = c.getParams();
            auto results = c.getResults();
            const auto clsid = readGuid(params.getClsid());
            const auto iids = params.getIids();
            if (!clsid || iids.size() == 0 || iids.size() > kMaxRequestedInterfaces) return results.setHr(E_INVALIDARG);
            ComPtr<IUnknown> object;
            const HRESULT hr = CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid());
            results.setHr(hr);
            if (FAILED(hr)) return;
            auto answers = results.initAnswers(iids.size());
            for (UINT i = 0; i < iids.size(); ++i) {
                const auto iid = readGuid(iids[i]);
                ComPtr<IUnknown> itf;
                answers.set(i, iid ? object->QueryInterface(*iid, itf.putVoid()) : E_INVALIDARG);
            }
            peer_->exportObject(object.get(), results.initObject());
        });
    }

private:
    std::shared_ptr<Peer> peer_;
};

// Runs one connection's RPC system until it ends, then releases what the client held.
void serveSession(kj::Own<kj::AsyncIoStream> stream, CallQueue& queue, std::size_t maxCalls, const LogSink& log,
                  const std::string& who) {
    (void)maxCalls;
    Limits limits;
    {
        // The bootstrap needs the session's peer: made first, handed over once it exists.
        auto paf = kj::newPromiseAndFulfiller<capnp::Capability::Client>();
        RpcSession session(kj::mv(stream), queue, limits, capnp::Capability::Client(kj::mv(paf.promise)));
        paf.fulfiller->fulfill(kj::heap<ExporterServer>(session.peer()));
        try {
            queue.await(session.onDisconnect());
        } catch (kj::Exception& e) {
            if (log) log(who + ": connection failed: " + e.getDescription().cStr());
        }
    }
    queue.drain();  // the objects the client held are released here, in its apartment
}

std::string describePeer(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = "?";
    std::uint16_t port = 0;
    if (address.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        port = ntohs(a->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        port = ntohs(a->sin6_port);
    }
    return std::string(text) + ":" + std::to_string(port);
}

kj::Promise<void> discard(kj::AsyncInputStream& in, kj::byte (&buffer)[4096]) {
    return in.tryRead(buffer, 1, sizeof buffer).then([&in, &buffer](std::size_t n) -> kj::Promise<void> {
        if (n == 0) return kj::READY_NOW;
        return discard(in, buffer);
    });
}

}  // namespace

struct ObjectExporter::State {
    ExporterOptions options;
    LogSink log;
    HostMaterial host;
    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    std::uint16_t port = 0;
    std::mutex mutex;
    struct Connection {
        int fd;
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    std::list<Connection> connections;

    void reapFinished() {
        std::lock_guard lock(mutex);
        for (auto it = connections.begin(); it != connections.end();) {
            if (it->finished) {
                it->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
    void serve(Connection& c, std::string who);
};

void ObjectExporter::State::serve(Connection& c, std::string who) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        auto io = kj::setupAsyncIo();
        CallQueue queue(io.waitScope, io.provider->getTimer(), options.maxCallsInFlight);
        kj::TlsPrivateKey key(host.key);
        kj::TlsCertificate certificate(host.certificate);
        kj::TlsCertificate authority(host.authority);
        kj::TlsKeypair keypair{kj::mv(key), kj::mv(certificate)};
        kj::TlsContext::Options tlsOptions;
        tlsOptions.useSystemTrustStore = false;
        tlsOptions.verifyClients = true;
        tlsOptions.trustedCertificates = kj::arrayPtr(&authority, 1);
        tlsOptions.defaultKeypair = keypair;
        tlsOptions.timer = io.provider->getTimer();
        tlsOptions.acceptTimeout = options.handshakeSeconds * kj::SECONDS;
        kj::TlsContext tls(kj::mv(tlsOptions));
        auto stream = io.lowLevelProvider->wrapSocketFd(c.fd, kj::LowLevelAsyncIoProvider::TAKE_OWNERSHIP);
        kj::AuthenticatedStream plain{kj::mv(stream), kj::UnknownPeerIdentity::newInstance()};
        kj::AuthenticatedStream secured = queue.await(tls.wrapServer(kj::mv(plain)));
        auto& identity = kj::downcast<kj::TlsPeerIdentity>(*secured.peerIdentity);
        if (!identity.hasCertificate()) {
            log(who + ": refused: no client certificate");
        } else {
            log(who + ": accepted \"" + identity.getCommonName().cStr() + "\"");
            serveSession(kj::mv(secured.stream), queue, options.maxCallsInFlight, log, who);
            log(who + ": closed; its objects are released");
        }
    } catch (kj::Exception& e) {
        log(who + ": refused: " + e.getDescription().cStr());
    } catch (std::exception& e) {
        log(who + ": failed: " + e.what());
    }
    CoUninitialize();
    c.finished = true;
    const char byte = 0;
    [[maybe_unused]] auto n = ::write(wakeFds[1], &byte, 1);  // lets run() reap this thread
}

ObjectExporter::ObjectExporter(ExporterOptions options, LogSink log) : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
    state_->log = log ? std::move(log) : LogSink(defaultLog);
    state_->host = loadHost(state_->options.configFolder);
    sockaddr_storage address{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, state_->options.listenAddress.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(state_->options.port);
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, state_->options.listenAddress.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(state_->options.port);
        length = sizeof *v6;
    } else {
        throw std::runtime_error("not a numeric address: " + state_->options.listenAddress);
    }
    state_->listenFd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(state_->listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (state_->listenFd < 0 || ::bind(state_->listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(state_->listenFd, 16) != 0) {
        const std::string reason = std::strerror(errno);
        if (state_->listenFd >= 0) ::close(state_->listenFd);
        throw std::runtime_error("cannot listen on " + state_->options.listenAddress + ":" +
                                 std::to_string(state_->options.port) + ": " + reason);
    }
    getsockname(state_->listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    state_->port = ntohs(address.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    if (::pipe2(state_->wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot make a pipe");
}

ObjectExporter::~ObjectExporter() {
    {
        std::lock_guard lock(state_->mutex);
        for (auto& c : state_->connections)
            if (!c.finished) ::shutdown(c.fd, SHUT_RDWR);  // each apartment sees its client leave
    }
    for (auto& c : state_->connections) c.thread.join();
    ::close(state_->listenFd);
    ::close(state_->wakeFds[0]);
    ::close(state_->wakeFds[1]);
}

std::uint16_t ObjectExporter::port() const { return state_->port; }

void ObjectExporter::stop() {
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(state_->wakeFds[1], &byte, 1);
}

void ObjectExporter::run(int stopFd) {
    State& s = *state_;
    s.log("listening on " + s.options.listenAddress + ":" + std::to_string(s.port));
    for (;;) {
        pollfd fds[3] = {{s.listenFd, POLLIN, 0}, {s.wakeFds[0], POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, stopFd >= 0 ? 3 : 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[2].revents) break;
        if (fds[1].revents) {
            char bytes[64];
            bool stopping = false;
            for (ssize_t n; (n = ::read(s.wakeFds[0], bytes, sizeof bytes)) > 0;)
                for (ssize_t i = 0; i < n; ++i) stopping |= bytes[i] == 1;
            s.reapFinished();
            if (stopping) break;
        }
        if (!fds[0].revents) continue;
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const int fd = ::accept4(s.listenFd, reinterpret_cast<sockaddr*>(&from), &fromLength, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const std::string who = describePeer(from);
        std::lock_guard lock(s.mutex);
        if (s.connections.size() >= s.options.maxConnections) {
            s.log(who + ": refused: " + std::to_string(s.options.maxConnections) + " connections are open already");
            ::close(fd);
            continue;
        }
        const int on = 1, idle = kKeepAliveIdleSeconds, interval = kKeepAliveIntervalSeconds, probes = kKeepAliveProbes;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto& c = s.connections.emplace_back();
        c.fd = fd;
        c.thread = std::thread([&s, &c, who] { s.serve(c, who); });
    }
    s.log("stopping: closing " + std::to_string(s.connections.size()) + " connection(s)");
}

void serveConnectionBytes(const std::uint8_t* data, std::size_t size) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        auto io = kj::setupAsyncIo();
        CallQueue queue(io.waitScope, io.provider->getTimer(), 64);
        auto pipe = kj::newTwoWayPipe();
        // The stream ends once the calls the bytes made have run (the loop has nothing left to
        // do), as when a client hangs up after its last message, not while they are still queued.
        auto feeding = pipe.ends[1]
                           ->write(data, size)
                           .then([]() { return kj::evalLast([]() {}); })
                           .then([]() { return kj::evalLast([]() {}); })
                           .then([&]() { pipe.ends[1]->shutdownWrite(); })
                           .eagerlyEvaluate(nullptr);
        // What the session answers is read and dropped: a connection closes only once its last
        // write has gone out.
        kj::byte answers[4096];
        auto discarding = discard(*pipe.ends[1], answers).eagerlyEvaluate(nullptr);
        serveSession(kj::mv(pipe.ends[0]), queue, 64, {}, "buffer");
    }
    CoUninitialize();
}

}  // namespace farlink
