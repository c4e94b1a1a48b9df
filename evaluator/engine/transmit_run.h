// The transmit side: Broadcast and Directed send UDP datagrams, Stream sends over one TCP
// connection.
#pragma once

#include <optional>
#include <string>

#include "socket_util.h"
#include "test_settings.h"
#include "traffic_run.h"

namespace airmeter {

class TransmitRun : public TrafficRun {
public:
    using TrafficRun::TrafficRun;
    ~TransmitRun() override;

    // Sets up the sockets and starts the worker. Failed socket calls are reported as Error
    // events and the set-up carries on; a port or packet size that cannot be used is refused
    // (false).
    bool start(const TestSettings& settings, const TxOptions& options);
    // Why a run with these settings is refused (port or packet size), or nothing.
    static std::optional<std::string> settingsError(const TestSettings& settings);

    // Packets sent successfully in this run: the next packet's sequence number.
    std::uint32_t sequence() const { return sequence_.load(); }

protected:
    void closeSockets() override;

private:
    void startDatagrams(const std::string& destination, bool broadcast);
    void startStream();
    void datagramLoop();
    bool awaitConnection();
    void streamLoop();

    TestSettings settings_;
    TxOptions options_;
    int payload_ = 0;
    Socket socket_;
    std::atomic<std::uint32_t> sequence_{0};
};

}  // namespace airmeter
