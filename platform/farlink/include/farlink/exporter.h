// The object exporter: listens on TCP, accepts TLS connections from clients whose certificate the
// host's authority signed and has not revoked, and serves each connection in an apartment of its
// own, where clients create classes of the host's registry by class id.
//
// Admission: a connection has `handshakeSeconds` to authenticate. Connections still in their
// handshake have their own small pool (`maxHandshakes`, at most `maxHandshakesPerPeer` from one
// address); a newcomer never waits for it: when the pool is full, the oldest handshake of the
// address with the most is cut short, so idle connections cannot keep a client out. Authenticated
// clients beyond `maxConnections` are told the host is busy; one that makes no call for
// `idleSeconds` is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace farlink {

inline constexpr std::uint16_t kDefaultPort = 7460;

struct ExporterOptions {
    std::string listenAddress = "0.0.0.0";  // numeric
    std::uint16_t port = kDefaultPort;      // 0: any free port
    std::filesystem::path configFolder;     // host.key, host.crt, ca.crt
    unsigned maxConnections = 16;           // authenticated clients served at once
    unsigned maxHandshakes = 32;            // connections not yet authenticated
    unsigned maxHandshakesPerPeer = 8;      // of those, from one address
    unsigned handshakeSeconds = 5;
    unsigned idleSeconds = 1800;            // 0: no limit
    std::size_t maxCallsInFlight = 64;      // per connection
};

// Log lines go here (the default writes them to standard error with a time stamp).
using LogSink = std::function<void(const std::string&)>;

class ObjectExporter {
public:
    // Loads the host's key and certificates and binds the port; throws std::runtime_error.
    ObjectExporter(ExporterOptions options, LogSink log = {});
    ~ObjectExporter();  // stops, closing every connection and waiting for its apartment to end
    ObjectExporter(const ObjectExporter&) = delete;
    ObjectExporter& operator=(const ObjectExporter&) = delete;

    std::uint16_t port() const;
    // Serves until stop() (from any thread or a signal handler's thread) or until `stopFd`
    // becomes readable (for example a signalfd). The host's keys and the revocation list are read
    // again when their files change, on reload() and when `reloadFd` becomes readable (it is then
    // read from, as a signalfd is): connections of a revoked client are ended, the others stay.
    void run(int stopFd = -1, int reloadFd = -1);
    void stop();
    void reload();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Serves one already authenticated connection's bytes in the calling thread (which becomes its
// apartment) until the stream ends: the entry point of message handling, also for feeding it a
// byte buffer.
void serveConnectionBytes(const std::uint8_t* data, std::size_t size);

}  // namespace farlink
