// The simulated GPIB-ETHERNET gateway: listens on TCP, speaks the gateway's protocol to one client
// at a time (as the real controller does; a second connection is closed at once, unserved), with
// one set of controller-wide settings, and hosts the bench's instruments at their GPIB addresses. The instruments measure the
// emission of the adapter on the bench's RF cable through the cable's loss.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vireo/sim/bench_file.h"

namespace vireo::sim {

class InstrumentGateway {
public:
    // The bench's instruments (their device files: the bench's, else the shipped ones). Throws
    // BenchError for a device file that cannot be used.
    explicit InstrumentGateway(const BenchSpec& bench);
    ~InstrumentGateway();  // stops serving
    InstrumentGateway(const InstrumentGateway&) = delete;
    InstrumentGateway& operator=(const InstrumentGateway&) = delete;

    // Starts serving on 127.0.0.1:`port` (0: a free port); returns the port. Throws
    // std::runtime_error when it cannot listen.
    int listen(int port);
    // Closes every connection and stops; waits for the client threads.
    void stop();

    // GPIB addresses with an instrument, and each instrument's model name.
    std::vector<std::pair<int, std::string>> instruments() const;
    // The message units that reached the instrument at `address`, oldest first.
    std::vector<std::string> received(int address) const;
    void forgetReceived();

    // Connections served so far, and connections closed unserved because another client had it.
    int connectionsServed() const;
    int connectionsTurnedAway() const;
    // The connections being served now (0 or 1).
    int connectionsOpen() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vireo::sim
