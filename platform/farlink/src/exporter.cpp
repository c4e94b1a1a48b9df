#include "farlink/exporter.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <kj/async-io.h>
#include <kj/compat/tls.h>
#include <kj/exception.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <iostream>
#include <list>
#include <map>
#include <set>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "farlink/credentials.h"
#include "guarded_stream.h"
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

// Remembers the last fault the RPC system met outside the apartment's calls (a malformed or
// oversized message, a protocol violation): the reason a connection it ends is closed for.
class FaultWatch final : public kj::ExceptionCallback {
public:
    explicit FaultWatch(const CallQueue& queue) : queue_(queue) {}
    void onRecoverableException(kj::Exception&& e) override {
        remember(e);
        next.onRecoverableException(kj::mv(e));
    }
    void onFatalException(kj::Exception&& e) override {
        remember(e);
        next.onFatalException(kj::mv(e));
    }
    const std::string& fault() const { return fault_; }

private:
    void remember(const kj::Exception& e) {
        if (!queue_.inCall() && e.getType() != kj::Exception::Type::DISCONNECTED) fault_ = e.getDescription().cStr();
    }
    const CallQueue& queue_;
    std::string fault_;
};

kj::Promise<void> idleFor(CallQueue& queue, kj::Duration limit) {
    const kj::Duration since = queue.timer().now() - queue.lastActivity();
    if (since >= limit) return kj::READY_NOW;
    return queue.timer().afterDelay(limit - since).then([&queue, limit]() { return idleFor(queue, limit); });
}

// Runs one connection's RPC system until it ends, then releases what the client held. Returns
// why it ended.
std::string serveSession(kj::Own<kj::AsyncIoStream> stream, CallQueue& queue, kj::Maybe<kj::Duration> idleLimit) {
    Limits limits;
    std::string reason = "the client hung up";
    FaultWatch faults(queue);
    {
        // The bootstrap needs the session's peer: made first, handed over once it exists.
        auto paf = kj::newPromiseAndFulfiller<capnp::Capability::Client>();
        RpcSession session(kj::mv(stream), queue, limits, capnp::Capability::Client(kj::mv(paf.promise)));
        paf.fulfiller->fulfill(kj::heap<ExporterServer>(session.peer()));
        bool idle = false;
        kj::Promise<void> ended = session.onDisconnect();
        KJ_IF_MAYBE(limit, idleLimit) {
            ended = ended.exclusiveJoin(idleFor(queue, *limit).then([&idle]() { idle = true; }));
        }
        try {
            queue.await(kj::mv(ended));
        } catch (kj::Exception& e) {
            reason = std::string("connection failed: ") + e.getDescription().cStr();
        }
        KJ_IF_MAYBE(limit, idleLimit) {
            if (idle) reason = "no call for " + std::to_string(*limit / kj::SECONDS) + " s";
        }
        if (!faults.fault().empty()) reason = "malformed message: " + faults.fault();
    }
    queue.drain();  // the objects the client held are released here, in its apartment
    return reason;
}

// Answers an authenticated client the host turns away: its first call fails with `reason` (which
// the client maps to its status), then the connection closes.
void refuseSession(kj::Own<kj::AsyncIoStream> stream, CallQueue& queue, const char* reason) {
    kj::Exception refusal(kj::Exception::Type::FAILED, __FILE__, __LINE__, kj::heapString(reason));
    Limits limits;
    RpcSession session(kj::mv(stream), queue, limits, capnp::Capability::Client(capnp::newBrokenCap(kj::mv(refusal))));
    try {
        queue.await(session.onDisconnect(), 5 * kj::SECONDS);
    } catch (kj::Exception&) {
    }
}

std::string addressOf(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = "?";
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr, text, sizeof text);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr, text, sizeof text);
    return text;
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
    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    int watchFd = -1;
    std::uint16_t port = 0;
    std::mutex mutex;
    HostMaterial host;                // under mutex
    std::set<std::string> revoked;    // under mutex
    struct Connection {
        int fd;
        std::string address, who;  // the peer's address; address:port
        std::thread thread;
        std::atomic<bool> finished{false};
        // Under mutex: the client once authenticated; why the host cut the handshake short.
        bool authenticated = false;
        std::string client;
        std::string cutShort;
        // Set once when the host ends an authenticated connection: the reason, then a count on
        // `endFd` (an eventfd its thread watches).
        std::string endReason;
        std::atomic<bool> ended{false};
        int endFd = -1;
        ~Connection() {
            if (endFd >= 0) ::close(endFd);
        }
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
    void serve(Connection& c);
    void admit(int fd, const sockaddr_storage& from);
    void reloadCredentials();
    std::string named(const Connection& c, const std::string& what) const {
        return c.who + (c.client.empty() ? "" : " client \"" + c.client + "\"") + ": " + what;
    }
};

void ObjectExporter::State::serve(Connection& c) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        auto io = kj::setupAsyncIo();
        CallQueue queue(io.waitScope, io.provider->getTimer(), options.maxCallsInFlight);
        HostMaterial material;
        {
            std::lock_guard lock(mutex);
            material = host;
        }
        kj::TlsPrivateKey key(material.key);
        kj::TlsCertificate certificate(material.certificate);
        kj::TlsCertificate authority(material.authority);
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
        // The deadline covers the whole handshake (the TLS context applies its own only to
        // connections it accepts itself).
        kj::AuthenticatedStream secured = queue.await(tls.wrapServer(kj::mv(plain)), options.handshakeSeconds * kj::SECONDS);
        auto& identity = kj::downcast<kj::TlsPeerIdentity>(*secured.peerIdentity);
        if (!identity.hasCertificate()) {
            log(named(c, "refused: no client certificate"));
        } else {
            const std::string name = identity.getCommonName().cStr();
            const char* refusal = nullptr;
            std::string cutShort;
            {
                std::lock_guard lock(mutex);
                c.client = name;
                cutShort = c.cutShort;
                if (revoked.count(name)) {
                    refusal = kRevokedReason;
                } else if (cutShort.empty()) {
                    unsigned served = 0;
                    for (const auto& other : connections) served += other.authenticated && !other.finished;
                    if (served >= options.maxConnections) refusal = kBusyReason;
                    else c.authenticated = true;
                }
            }
            if (!cutShort.empty()) {
                log(named(c, "refused: " + cutShort));
            } else if (refusal) {
                log(named(c, std::string("refused: ") + (refusal == kBusyReason ? "busy, " + std::to_string(options.maxConnections) +
                                                                                    " clients are served already"
                                                                              : "its credential is revoked")));
                refuseSession(kj::mv(secured.stream), queue, refusal);
            } else {
                log(named(c, "accepted"));
                auto endSignal = io.lowLevelProvider->wrapInputFd(c.endFd);
                kj::byte count[8];
                auto guarded = kj::heap<GuardedStream>(kj::mv(secured.stream), endSignal->read(count, 8),
                                                       c.endReason);
                kj::Maybe<kj::Duration> idle;
                if (options.idleSeconds) idle = options.idleSeconds * kj::SECONDS;
                std::string reason = serveSession(kj::mv(guarded), queue, idle);
                if (c.ended) reason = c.endReason;
                log(named(c, "closed: " + reason + "; its objects are released"));
            }
        }
    } catch (kj::Exception& e) {
        std::string cutShort;
        {
            std::lock_guard lock(mutex);
            cutShort = c.cutShort;
        }
        log(named(c, "refused: " + (cutShort.empty() ? std::string(e.getDescription().cStr()) : cutShort)));
    } catch (std::exception& e) {
        log(named(c, std::string("failed: ") + e.what()));
    }
    CoUninitialize();
    c.finished = true;
    const char byte = 0;
    [[maybe_unused]] auto n = ::write(wakeFds[1], &byte, 1);  // lets run() reap this thread
}

// Takes a new connection into the handshake pool, cutting the oldest handshake short when the
// pool or the peer's share of it is full.
void ObjectExporter::State::admit(int fd, const sockaddr_storage& from) {
    std::lock_guard lock(mutex);
    const std::string address = addressOf(from);
    std::map<std::string, std::pair<unsigned, Connection*>> waiting;  // per address: count, oldest
    unsigned total = 0;
    for (auto& c : connections) {
        if (c.finished || c.authenticated || !c.cutShort.empty()) continue;
        auto& [count, oldest] = waiting[c.address];
        if (count++ == 0) oldest = &c;
        ++total;
    }
    Connection* cut = nullptr;
    if (waiting[address].first >= options.maxHandshakesPerPeer) {
        cut = waiting[address].second;
    } else if (total >= options.maxHandshakes) {
        for (auto& [peer, entry] : waiting)
            if (!cut || entry.first > waiting[cut->address].first) cut = entry.second;
    }
    if (cut) {
        cut->cutShort = "handshake cut short: " + std::to_string(waiting[cut->address].first) +
                        " connections from " + cut->address + " were in their handshake and a newer one came";
        ::shutdown(cut->fd, SHUT_RDWR);
    }
    const int on = 1, idle = kKeepAliveIdleSeconds, interval = kKeepAliveIntervalSeconds, probes = kKeepAliveProbes;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto& c = connections.emplace_back();
    c.fd = fd;
    c.endFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    c.address = address;
    c.who = describePeer(from);
    c.thread = std::thread([this, &c] { serve(c); });
}

void ObjectExporter::State::reloadCredentials() {
    try {
        HostMaterial material = loadHost(options.configFolder);
        std::set<std::string> names = revokedClients(options.configFolder);
        std::lock_guard lock(mutex);
        // A new authority (--init --force) revokes every credential the old one issued.
        const bool newAuthority = material.authority != host.authority;
        host = std::move(material);
        revoked = std::move(names);
        for (auto& c : connections) {
            if (c.finished || !c.authenticated || c.ended || (!newAuthority && !revoked.count(c.client))) continue;
            c.endReason = kRevokedReason;
            c.ended = true;
            const std::uint64_t one = 1;
            [[maybe_unused]] auto n = ::write(c.endFd, &one, sizeof one);  // its pending read fails with the reason
            log(named(c, newAuthority ? "ending: the host has a new authority" : "ending: its credential is revoked"));
        }
    } catch (const std::exception& e) {
        log(std::string("cannot read the credentials again (the previous ones stay in use): ") + e.what());
    }
}

ObjectExporter::ObjectExporter(ExporterOptions options, LogSink log) : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
    state_->log = log ? std::move(log) : LogSink(defaultLog);
    state_->host = loadHost(state_->options.configFolder);
    state_->revoked = revokedClients(state_->options.configFolder);
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
        ::listen(state_->listenFd, 128) != 0) {
        const std::string reason = std::strerror(errno);
        if (state_->listenFd >= 0) ::close(state_->listenFd);
        throw std::runtime_error("cannot listen on " + state_->options.listenAddress + ":" +
                                 std::to_string(state_->options.port) + ": " + reason);
    }
    getsockname(state_->listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    state_->port = ntohs(address.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    if (::pipe2(state_->wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot make a pipe");
    // The keys and the revocation list are replaced by renaming: a change shows as a move into the
    // folder (or a write, for files put there by hand).
    state_->watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (state_->watchFd >= 0 &&
        ::inotify_add_watch(state_->watchFd, state_->options.configFolder.c_str(),
                            IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_CREATE) < 0) {
        ::close(state_->watchFd);
        state_->watchFd = -1;
    }
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
    if (state_->watchFd >= 0) ::close(state_->watchFd);
}

std::uint16_t ObjectExporter::port() const { return state_->port; }

void ObjectExporter::stop() {
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(state_->wakeFds[1], &byte, 1);
}

void ObjectExporter::reload() {
    const char byte = 2;
    [[maybe_unused]] auto n = ::write(state_->wakeFds[1], &byte, 1);
}

void ObjectExporter::run(int stopFd, int reloadFd) {
    State& s = *state_;
    s.log("listening on " + s.options.listenAddress + ":" + std::to_string(s.port));
    for (;;) {
        pollfd fds[5] = {{s.listenFd, POLLIN, 0}, {s.wakeFds[0], POLLIN, 0}, {s.watchFd, POLLIN, 0},
                         {reloadFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 5, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[4].revents) break;
        bool reloading = false;
        if (fds[1].revents) {
            char bytes[64];
            bool stopping = false;
            for (ssize_t n; (n = ::read(s.wakeFds[0], bytes, sizeof bytes)) > 0;)
                for (ssize_t i = 0; i < n; ++i) {
                    stopping |= bytes[i] == 1;
                    reloading |= bytes[i] == 2;
                }
            s.reapFinished();
            if (stopping) break;
        }
        if (fds[2].revents) {
            alignas(inotify_event) char events[4096];
            while (::read(s.watchFd, events, sizeof events) > 0) {
            }
            reloading = true;
        }
        if (fds[3].revents) {
            char info[256];  // a signalfd's record, or anything else: only its arrival counts
            [[maybe_unused]] auto n = ::read(reloadFd, info, sizeof info);
            s.log("reloading the credentials");
            reloading = true;
        }
        if (reloading) s.reloadCredentials();
        if (!fds[0].revents) continue;
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const int fd = ::accept4(s.listenFd, reinterpret_cast<sockaddr*>(&from), &fromLength, SOCK_CLOEXEC);
        if (fd >= 0) s.admit(fd, from);
    }
    s.log("stopping: closing " + std::to_string(s.connections.size()) + " connection(s)");
}

void serveConnectionBytes(const std::uint8_t* data, std::size_t size) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        auto io = kj::setupAsyncIo();
        CallQueue queue(io.waitScope, io.provider->getTimer(), 64, std::chrono::microseconds(0));
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
        serveSession(kj::mv(pipe.ends[0]), queue, nullptr);
    }
    CoUninitialize();
}

}  // namespace farlink
