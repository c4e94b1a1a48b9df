#include "test_settings.h"

namespace airmeter {

const char* modeName(TestMode mode) {
    switch (mode) {
        case TestMode::Broadcast: return "Broadcast";
        case TestMode::Directed: return "Directed";
        case TestMode::Stream: return "Stream";
    }
    return "";
}

const char* unitName(PacketUnit unit) { return unit == PacketUnit::Mac ? "MAC" : "Application"; }

std::optional<std::string> portError(int port) {
    if (port >= 1 && port <= 65535) return std::nullopt;
    return "Socket port " + std::to_string(port) + " is out of range: it must be 1 to 65535.";
}

}  // namespace airmeter
