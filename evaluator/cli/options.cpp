#include "options.h"

#include <charconv>
#include <optional>

namespace airmeter::cli {

const char* const kUsage =
    "usage: airmeter-cli tx|rx [--mode broadcast|directed|stream] [--host ADDRESS] [--port N]\n"
    "                          [--size N] [--unit application|mac] [--fill BYTE] [--delay MS]\n"
    "                          [--burst N] [--duration SECONDS] [--broadcast-address ADDRESS]\n"
    "                          [--quiet]\n"
    "Prints the window's figures once a second and a JSON summary at the end.\n";

namespace {

std::optional<int> toInt(const std::string& text) {
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

}  // namespace

std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args) {
    Options o;
    if (args.empty() || (args[0] != "tx" && args[0] != "rx")) return std::string("the first argument must be tx or rx");
    o.transmit = args[0] == "tx";
    o.settings.localAddress = "127.0.0.1";
    o.tx.targetHost = "127.0.0.1";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (i + 1 >= args.size()) return name + " needs a value";
        const std::string& value = args[++i];
        auto number = [&](int& out, int low, int high) -> std::optional<std::string> {
            const auto v = toInt(value);
            if (!v || *v < low || *v > high) {
                return name + ": '" + value + "' is not an integer from " + std::to_string(low) + " to " +
                       std::to_string(high);
            }
            out = *v;
            return std::nullopt;
        };
        std::optional<std::string> error;
        if (name == "--mode") {
            if (value == "broadcast") o.settings.mode = TestMode::Broadcast;
            else if (value == "directed") o.settings.mode = TestMode::Directed;
            else if (value == "stream") o.settings.mode = TestMode::Stream;
            else error = "--mode must be broadcast, directed or stream";
        } else if (name == "--unit") {
            if (value == "application") o.settings.unit = PacketUnit::Application;
            else if (value == "mac") o.settings.unit = PacketUnit::Mac;
            else error = "--unit must be application or mac";
        } else if (name == "--host") {
            o.tx.targetHost = value;
        } else if (name == "--broadcast-address") {
            o.settings.broadcastAddress = value;
        } else if (name == "--port") {
            error = number(o.settings.socketPort, 1, 65535);
        } else if (name == "--size") {
            error = number(o.settings.packetSize, 0, 1 << 30);
        } else if (name == "--fill") {
            error = number(o.tx.pktFill, -1, 256);
        } else if (name == "--delay") {
            error = number(o.tx.pktDelay, 0, 60000);
        } else if (name == "--burst") {
            error = number(o.tx.pktBurst, 0, 1 << 30);
        } else if (name == "--duration") {
            error = number(o.durationSeconds, 0, 1 << 20);
        } else {
            error = "unknown option " + name;
        }
        if (error) return *error;
    }
    return o;
}

}  // namespace airmeter::cli
