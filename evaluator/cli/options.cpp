#include "options.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "setting_ranges.h"

namespace airmeter::cli {
namespace {

std::optional<int> toInt(const std::string& text) {
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::string lowerName(const char* name) {
    std::string text = name;
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool isHelp(const std::string& arg) { return arg == "-h" || arg == "--help"; }

// The options that take a value; --quiet and --help take none.
const char* const kValueOptions[] = {"--mode", "--host", "--port", "--size", "--unit", "--fill",
                                     "--delay", "--burst", "--duration", "--broadcast-address"};

bool takesValue(const std::string& name) {
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), name) != std::end(kValueOptions);
}

}  // namespace

std::string usage() {
    const Options d;
    const TestSettings& s = d.settings;
    const std::string broadcast = s.broadcastAddress;
    return "usage: airmeter-cli tx|rx [options]\n"
           "  tx sends test traffic, rx receives it; both print the window's figures once a second\n"
           "  and a JSON summary at the end.\n"
           "\n"
           "options (default in brackets):\n"
           "  --mode broadcast|directed|stream  test mode [" + lowerName(modeName(s.mode)) + "];\n"
           "                          broadcast sends to the broadcast address, by default " + broadcast + ",\n"
           "                          which reaches every host on the local network\n"
           "  --broadcast-address ADDRESS  where broadcast sends [" + broadcast + "];\n"
           "                          127.255.255.255 keeps the traffic on this host\n"
           "  --host ADDRESS          tx target of directed and stream, dotted IPv4 [" + d.tx.targetHost + "]\n"
           "  --port N                UDP or TCP port, 1 to 65535 [" + std::to_string(s.socketPort) + "]\n"
           "  --size N                packet size in bytes [" + std::to_string(s.packetSize) + "]\n"
           "  --unit application|mac  what the size counts [" + lowerName(unitName(s.unit)) + "];\n"
           "                          mac: the size includes 42 bytes of MAC, IP and UDP headers\n"
           "  --fill BYTE             tx fill byte 0 to 255, -1 or 256 for random bytes [" +
           std::to_string(d.tx.pktFill) + "]\n"
           "  --delay MS              tx pause after every burst, in milliseconds; 0 never pauses [" +
           std::to_string(d.tx.pktDelay) + "]\n"
           "  --burst N               a burst is N + 1 packets [" + std::to_string(d.tx.pktBurst) + "]\n"
           "  --duration SECONDS      how long the run lasts, 0 until interrupted [" +
           std::to_string(d.durationSeconds) + "]\n"
           "  --quiet                 print only the summary [off]\n"
           "  -h, --help              print this text\n"
           "\n"
           "exit status: 0 the run lasted its duration, was interrupted, or (stream rx) its transmitter\n"
           "finished and closed the connection; 1 a socket call failed or the run ended early (the peer\n"
           "closed or reset the connection before the end, a connect or send error); 2 bad arguments.\n";
}

std::variant<Options, HelpRequest, std::string> parseOptions(const std::vector<std::string>& args) {
    if (std::any_of(args.begin(), args.end(), isHelp)) return HelpRequest{};
    Options o;
    if (args.empty()) return std::string("the first argument must be tx or rx");
    if (args[0] != "tx" && args[0] != "rx") {
        if (args[0].starts_with("-")) return "unknown option " + args[0] + " (the first argument must be tx or rx)";
        return "the first argument must be tx or rx, not '" + args[0] + "'";
    }
    o.transmit = args[0] == "tx";
    o.settings.localAddress = "127.0.0.1";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (!takesValue(name)) return "unknown option " + name;
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
        // Options that are also settings-file keys take the values the file may hold.
        auto setting = [&](int& out, const IntegerSetting& s) { return number(out, s.low, s.high); };
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
            error = setting(o.settings.socketPort, kSockPortSetting);
        } else if (name == "--size") {
            error = number(o.settings.packetSize, 0, 1 << 30);
        } else if (name == "--fill") {
            error = setting(o.tx.pktFill, kPktFillSetting);
        } else if (name == "--delay") {
            error = setting(o.tx.pktDelay, kPktDelaySetting);
        } else if (name == "--burst") {
            error = setting(o.tx.pktBurst, kPktBurstSetting);
        } else if (name == "--duration") {
            error = number(o.durationSeconds, 0, 1 << 20);
        }
        if (error) return *error;
    }
    return o;
}

}  // namespace airmeter::cli
