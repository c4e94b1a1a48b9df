#include "gateway_bus.h"

#include <map>

#include "instruments/status.h"

namespace oru::instruments {

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<GatewayBus>> buses;
};

Registry& registry() {
    static Registry r;
    return r;
}
}  // namespace

std::shared_ptr<GatewayBus> attachBus(const GatewaySettings& settings, int& status) {
    const std::string where = settings.address + ":" + std::to_string(settings.port);
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    if (auto it = r.buses.find(where); it != r.buses.end()) {
        std::lock_guard busGuard(it->second->lock);
        // A connection that broke stays with the sessions on it; new sessions get a new one.
        if (!it->second->link.broken()) {
            ++it->second->sessions;
            status = INSTR_SUCCESS;
            return it->second;
        }
        r.buses.erase(it);
    }
    auto bus = std::make_shared<GatewayBus>();
    bus->where = where;
    if ((status = bus->link.open(settings)) != INSTR_SUCCESS) return nullptr;
    bus->sessions = 1;
    r.buses[where] = bus;
    return bus;
}

void detachBus(const std::shared_ptr<GatewayBus>& bus) {
    Registry& r = registry();
    std::lock_guard guard(r.mutex);
    if (--bus->sessions > 0) return;
    {
        std::lock_guard busGuard(bus->lock);  // a call still running on it finishes first
        bus->link.flush();
        bus->link.close();
    }
    if (auto it = r.buses.find(bus->where); it != r.buses.end() && it->second == bus) r.buses.erase(it);
}

int transact(GatewayBus& bus, int gpibAddress, const std::function<int(GatewayLink&)>& call) {
    std::lock_guard guard(bus.lock);
    if (bus.link.broken()) return INSTR_ERR_IO;
    bus.link.select(gpibAddress);
    return call(bus.link);
}

}  // namespace oru::instruments
