// The gateways this process talks to, one connection each, shared by the sessions of both
// drivers: a session holds its instrument's GPIB address and its gateway's bus, and each of its
// calls is one transaction on the bus, serialised with every other session's.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "gateway_link.h"

namespace oru::instruments {

struct GatewayBus {
    std::mutex lock;  // one transaction at a time
    GatewayLink link;
    std::string where;  // "HOST:PORT"
    int sessions = 0;   // under the registry's lock
};

// The bus of the gateway in `settings`: the connection already open to it, else a new one.
// nullptr with `status` (no gateway, busy) when it cannot be opened. Each call counts a session.
std::shared_ptr<GatewayBus> attachBus(const GatewaySettings& settings, int& status);
// Ends one session's use of the bus: the last one closes the connection once the gateway has taken
// in what was written, so that another program can have the gateway.
void detachBus(const std::shared_ptr<GatewayBus>& bus);

// Runs `call` as one transaction on `bus` addressed to `gpibAddress`.
int transact(GatewayBus& bus, int gpibAddress, const std::function<int(GatewayLink&)>& call);

}  // namespace oru::instruments
