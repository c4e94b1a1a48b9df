// Remote activation: CoCreateInstanceEx with a server name comes here (the runtime loads this
// library by name). Each thread that activates is the apartment of its connections: one per host
// and port, shared by every object it reached there and closed when the last one is released.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <kj/async-io.h>
#include <kj/compat/tls.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "farlink/credentials.h"
#include "farlink/exporter.h"
#include "oleaut/com_object.h"
#include "oleaut/objbase.h"
#include "oleaut/utf.h"
#include "remote_object.h"
#include "rpc_session.h"
#include "wire_values.h"

namespace farlink {

namespace {

constexpr auto kLookupLimit = std::chrono::seconds(10);
constexpr int kConnectMilliseconds = 5000;
constexpr auto kHandshakeLimit = 10 * kj::SECONDS;
constexpr auto kActivationLimit = 30 * kj::SECONDS;
constexpr unsigned kDefaultCallSeconds = 150;  // some adapter requests take two minutes
constexpr const char16_t* kSource = u"FarLink";

struct Failure {
    HRESULT hr;
    std::string text;
};

// One host:port as the caller wrote it: "name", "name:port", "[v6 address]:port", "\\name".
struct Endpoint {
    std::string host;
    std::uint16_t port = kDefaultPort;
    std::string key() const { return host + "#" + std::to_string(port); }
};

std::uint16_t defaultPort() {
    if (const char* p = std::getenv("FARLINK_PORT"); p && *p) {
        const long v = std::strtol(p, nullptr, 10);
        if (v > 0 && v < 65536) return std::uint16_t(v);
    }
    return kDefaultPort;
}

kj::Duration callLimit() {
    if (const char* s = std::getenv("FARLINK_CALL_TIMEOUT"); s && *s) {
        const long v = std::strtol(s, nullptr, 10);
        if (v > 0) return v * kj::SECONDS;
    }
    return kDefaultCallSeconds * kj::SECONDS;
}

bool validHostName(const std::string& h) {
    if (h.empty() || h.size() > 253) return false;
    for (char c : h)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != ':' && c != '_') return false;
    return h.front() != '-' && h.front() != '.';
}

Endpoint parseEndpoint(std::u16string_view name) {
    std::string text = oleaut::toUtf8(name);
    if (text.rfind("\\\\", 0) == 0) text.erase(0, 2);
    Endpoint e;
    e.port = defaultPort();
    std::string portText;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) throw Failure{RPC_S_SERVER_UNAVAILABLE, "\"" + text + "\" is not a host name or address"};
        e.host = text.substr(1, close - 1);
        if (close + 1 < text.size() && text[close + 1] == ':') portText = text.substr(close + 2);
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        e.host = text.substr(0, text.find(':'));
        portText = text.substr(text.find(':') + 1);
    } else {
        e.host = text;
    }
    if (!portText.empty()) {
        char* end = nullptr;
        const long v = std::strtol(portText.c_str(), &end, 10);
        if (*end || v <= 0 || v > 65535) throw Failure{RPC_S_SERVER_UNAVAILABLE, "\"" + portText + "\" is not a port"};
        e.port = std::uint16_t(v);
    }
    if (!validHostName(e.host)) throw Failure{RPC_S_SERVER_UNAVAILABLE, "\"" + e.host + "\" is not a host name or address"};
    return e;
}

// The host's addresses, looked up with a bound (a stuck name service cannot hold the caller).
std::vector<sockaddr_storage> lookUp(const Endpoint& e) {
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        int status = 0;
        std::vector<sockaddr_storage> addresses;
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host = e.host, port = std::to_string(e.port)] {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* found = nullptr;
        const int status = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
        std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        for (addrinfo* a = found; status == 0 && a; a = a->ai_next) {
            sockaddr_storage s{};
            std::memcpy(&s, a->ai_addr, a->ai_addrlen);
            lookup->addresses.push_back(s);
        }
        if (found) freeaddrinfo(found);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, kLookupLimit, [&] { return lookup->finished; }))
        throw Failure{RPC_S_SERVER_UNAVAILABLE, "looking up \"" + e.host + "\" did not finish in time"};
    if (lookup->status != 0 || lookup->addresses.empty())
        throw Failure{RPC_S_SERVER_UNAVAILABLE, "the host \"" + e.host + "\" is unknown (" + gai_strerror(lookup->status) + ")"};
    return lookup->addresses;
}

// A connected socket: refused everywhere means the host runs no exporter on that port.
int connectTo(const Endpoint& e) {
    bool refused = false;
    std::string reason = "no address";
    for (const sockaddr_storage& a : lookUp(e)) {
        const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) continue;
        const socklen_t length = a.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        int error = 0;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), length) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                pollfd p{fd, POLLOUT, 0};
                const int ready = ::poll(&p, 1, kConnectMilliseconds);
                socklen_t len = sizeof error;
                error = ready == 1 ? (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len), error) : ETIMEDOUT;
            }
        }
        if (error == 0) {
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return fd;
        }
        ::close(fd);
        refused |= error == ECONNREFUSED;
        reason = std::strerror(error);
    }
    if (refused)
        throw Failure{CO_E_SERVER_EXEC_FAILURE,
                      "no object exporter answers on " + e.host + " port " + std::to_string(e.port) + " (is farlinkd running there?)"};
    throw Failure{RPC_S_SERVER_UNAVAILABLE, "the host " + e.host + " cannot be reached (" + reason + ")"};
}

// The event loop and call queue of one thread's remote connections.
struct ClientThread {
    kj::AsyncIoContext io = kj::setupAsyncIo();
    CallQueue queue{io.waitScope, io.provider->getTimer(), 1024};
};

class ClientConnection {
public:
    ClientConnection(std::shared_ptr<ClientThread> thread, const Endpoint& e);
    ~ClientConnection() {
        exporter_ = nullptr;
        session_ = nullptr;
        thread_->queue.drain();
    }
    Peer& peer() { return *session_->peer(); }
    std::shared_ptr<Peer> sharedPeer() { return session_->peer(); }
    wire::Exporter::Client& exporter() { return *exporter_; }
    bool answeredOnce = false;

private:
    std::shared_ptr<ClientThread> thread_;
    kj::Own<kj::TlsContext> tls_;
    kj::Own<RpcSession> session_;
    kj::Own<wire::Exporter::Client> exporter_;
};

ClientConnection::ClientConnection(std::shared_ptr<ClientThread> thread, const Endpoint& e) : thread_(std::move(thread)) {
    std::optional<ClientCredential> credential;
    try {
        credential = findClientCredential(e.host);
    } catch (const std::exception& x) {
        throw Failure{E_ACCESSDENIED, x.what()};
    }
    if (!credential)
        throw Failure{E_ACCESSDENIED, "no credential for " + e.host + " (copy the host's client.pem to " +
                                          (configFolder() / "client.pem").string() + ")"};
    const int fd = connectTo(e);
    auto& io = thread_->io;
    try {
        kj::TlsCertificate authority(credential->authority);
        kj::TlsKeypair keypair{kj::TlsPrivateKey(credential->key), kj::TlsCertificate(credential->certificate)};
        kj::TlsContext::Options options;
        options.useSystemTrustStore = false;
        options.trustedCertificates = kj::arrayPtr(&authority, 1);
        options.defaultKeypair = keypair;
        tls_ = kj::heap<kj::TlsContext>(kj::mv(options));
    } catch (kj::Exception& x) {
        ::close(fd);
        throw Failure{E_ACCESSDENIED, std::string("the credential cannot be used: ") + x.getDescription().cStr()};
    }
    auto stream = io.lowLevelProvider->wrapSocketFd(fd, kj::LowLevelAsyncIoProvider::TAKE_OWNERSHIP);
    kj::Own<kj::AsyncIoStream> secured;
    try {
        secured = thread_->queue.await(tls_->wrapClient(kj::mv(stream), kHostCertificateName), kHandshakeLimit);
    } catch (kj::Exception& x) {
        // The host closing the connection before the handshake ends is not a verdict on the
        // credential (that comes as a TLS alert): the host is busy, or cut the handshake short.
        if (x.getType() == kj::Exception::Type::DISCONNECTED)
            throw Failure{RPC_S_SERVER_TOO_BUSY, std::string("the host closed the connection before the handshake ended; "
                                                             "it is busy (") + x.getDescription().cStr() + ")"};
        throw Failure{E_ACCESSDENIED, std::string("the host refused the credential or is not the host it names (") +
                                          x.getDescription().cStr() + ")"};
    }
    Limits limits;
    limits.callTimeout = callLimit();
    session_ = kj::heap<RpcSession>(kj::mv(secured), thread_->queue, limits, nullptr);
    exporter_ = kj::heap<wire::Exporter::Client>(session_->bootstrap().castAs<wire::Exporter>());
}

struct Connections {
    std::shared_ptr<ClientThread> thread;
    std::map<std::string, std::weak_ptr<ClientConnection>> open;
};
thread_local Connections connections;

// The connection stays open while any object reached through it is alive: every proxy holds
// the peer, and the peer holds the connection through this keeper.
std::shared_ptr<ClientConnection> connectionTo(const Endpoint& e) {
    if (!connections.thread) connections.thread = std::make_shared<ClientThread>();
    if (auto existing = connections.open[e.key()].lock(); existing && !existing->peer().disconnected()) return existing;
    auto made = std::make_shared<ClientConnection>(connections.thread, e);
    connections.open[e.key()] = made;
    return made;
}

HRESULT activate(REFCLSID clsid, const OLECHAR* server, DWORD count, MULTI_QI* results) {
    const Endpoint e = parseEndpoint(server);
    std::shared_ptr<ClientConnection> connection = connectionTo(e);
    auto request = connection->exporter().createInstanceRequest();
    request.setClsid(guidBytes(clsid));
    auto iids = request.initIids(count);
    for (DWORD i = 0; i < count; ++i) iids.set(i, guidBytes(*results[i].pIID));
    try {
        auto response = connections.thread->queue.await(request.send(), kActivationLimit);
        connection->answeredOnce = true;
        const HRESULT hr = response.getHr();
        if (FAILED(hr)) throw Failure{hr, hr == REGDB_E_CLASSNOTREG ? "the class is not registered on " + e.host : ""};
        ComPtr<IUnknown> object = connection->peer().importObject(response.getObject());
        if (!object) throw Failure{E_FAIL, "the host sent no object"};
        connection->peer().keepAlive(connection);
        auto* proxy = static_cast<RemoteObject*>(static_cast<IDispatch*>(static_cast<void*>(object.get())));
        const auto answers = response.getAnswers();
        DWORD answered = 0;
        for (DWORD i = 0; i < count; ++i) {
            results[i].pItf = nullptr;
            results[i].hr = i < answers.size() ? HRESULT(answers[i]) : E_NOINTERFACE;
            if (SUCCEEDED(results[i].hr)) {
                proxy->vouch(*results[i].pIID);
                results[i].hr = object->QueryInterface(*results[i].pIID, reinterpret_cast<void**>(&results[i].pItf));
            }
            if (SUCCEEDED(results[i].hr)) ++answered;
        }
        return answered == count ? S_OK : answered > 0 ? CO_S_NOTALLINTERFACES : E_NOINTERFACE;
    } catch (kj::Exception& x) {
        // The first call on a connection is where the host turns down a credential it does not
        // trust, or says it is busy or that the credential is revoked.
        const HRESULT status = statusOfFailure(x);
        const bool refused = !connection->answeredOnce && x.getType() != kj::Exception::Type::OVERLOADED &&
                             status != RPC_S_SERVER_TOO_BUSY;
        connection->peer().markDisconnected(refused ? E_ACCESSDENIED : status);
        throw Failure{refused ? E_ACCESSDENIED : status,
                      refused ? std::string("the host refused the credential (") + x.getDescription().cStr() + ")"
                              : std::string(x.getDescription().cStr())};
    }
}

}  // namespace

}  // namespace farlink

// Serves CoCreateInstanceEx for a server name. Each MULTI_QI gets its status; on failure the
// thread's error object says why.
extern "C" __attribute__((visibility("default"))) HRESULT FarLinkCreateInstanceEx(REFCLSID clsid, const OLECHAR* server,
                                                                                   DWORD count, MULTI_QI* results) {
    using namespace farlink;
    auto failAll = [&](HRESULT hr, const std::string& text) {
        for (DWORD i = 0; i < count; ++i) {
            results[i].pItf = nullptr;
            results[i].hr = hr;
        }
        if (!text.empty()) oleaut::setErrorInfo(oleaut::toUtf16(text), kSource, IID_IUnknown);
        return hr;
    };
    try {
        return activate(clsid, server, count, results);
    } catch (const Failure& f) {
        return failAll(f.hr, f.text);
    } catch (kj::Exception& x) {
        return failAll(RPC_S_SERVER_UNAVAILABLE, x.getDescription().cStr());
    } catch (const std::exception& x) {
        return failAll(E_FAIL, x.what());
    }
}
