// Settings of one traffic run, filled by the main window or the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace airmeter {

enum class TestMode : std::uint8_t { Broadcast = 0, Directed = 1, Stream = 2 };
enum class PacketUnit : std::uint8_t { Application = 0, Mac = 1 };

inline constexpr std::uint8_t kNoDataRate = 2;
inline constexpr const char* kBroadcastAddress = "255.255.255.255";

struct TestSettings {
    std::string localAddress = "0.0.0.0";  // display only
    std::string localHostName;             // display only
    std::int32_t socketPort = 1500;
    TestMode mode = TestMode::Broadcast;
    std::int32_t packetSize = 1024;
    PacketUnit unit = PacketUnit::Application;
    std::int32_t channel = 0;             // display only; 0 = none
    std::uint8_t dataRate = kNoDataRate;  // display only; index into the rate list
    std::string broadcastAddress = kBroadcastAddress;
};

// Transmit-only parameters, kept in the settings file.
struct TxOptions {
    std::string targetHost;  // dotted IPv4 address
    int pktDelay = 0;        // milliseconds
    int pktBurst = 0;        // packets
    int pktFill = -1;        // 0..255 fixed fill byte, anything else random
};

const char* modeName(TestMode mode);
const char* unitName(PacketUnit unit);

// Why a socket port cannot be used, or nothing when it can.
std::optional<std::string> portError(int port);

}  // namespace airmeter
