// The receive side: Broadcast and Directed receive UDP datagrams on the port, Stream accepts one
// TCP connection on it.
#pragma once

#include "sequence_tracker.h"
#include "socket_util.h"
#include "test_settings.h"
#include "traffic_run.h"

namespace airmeter {

class ReceiveRun : public TrafficRun {
public:
    using TrafficRun::TrafficRun;
    ~ReceiveRun() override;

    // Sets up the sockets and starts the worker; failed socket calls are reported as Error
    // events and the set-up carries on. False when a run is already active or the port cannot
    // be used.
    bool start(const TestSettings& settings);

    // The sequence number expected next (valid once a datagram with a sequence arrived).
    std::uint32_t expectedSequence() const { return expected_.load(); }

protected:
    void closeSockets() override;

private:
    void startDatagrams();
    void startStream();
    void bindFailed(Socket& socket);
    void datagramLoop();
    bool acceptConnection();
    void streamLoop();

    TestSettings settings_;
    Socket socket_;  // the datagram socket, or the stream's data socket
    Socket listener_;
    std::atomic<std::uint32_t> expected_{0};
};

}  // namespace airmeter
