// Where the instrument drivers find their GPIB-ETHERNET gateway: registry values under
// HKEY_LOCAL_MACHINE\Software\Oru\Instruments\Gateway. `vireo-bench install` writes them for the
// simulated bench; on a real bench set Address (and Port) to the gateway's.
//
//   Address          REG_SZ     numeric IPv4 address of the gateway         (default "127.0.0.1")
//   Port             REG_DWORD  its TCP port                                 (default 1234)
//   ReadTimeoutMs    REG_DWORD  how long an instrument may take to answer   (default 1000, 1..3000)
//   AnalyzerAddress  REG_DWORD  GPIB address saInit's address 0 selects      (default 18)
//
// Nothing listening at Address:Port makes hp438a_init and saInit return INSTR_ERR_NO_GATEWAY within
// the connect time-out (2 s at most, at once on this machine); a gateway serving another program
// INSTR_ERR_BUSY. A process keeps one connection per gateway, shared by all sessions of both
// drivers, and closes it with the last session. A session whose gateway went away fails each call
// with INSTR_ERR_IO until it is closed and opened again.
#pragma once

namespace oru::instruments {

inline constexpr const char* kGatewayKey = "Software\\Oru\\Instruments\\Gateway";
inline constexpr const char* kAddressValue = "Address";
inline constexpr const char* kPortValue = "Port";
inline constexpr const char* kReadTimeoutValue = "ReadTimeoutMs";
inline constexpr const char* kAnalyzerAddressValue = "AnalyzerAddress";
// Set by vireo-bench on the entries it wrote, so that uninstalling removes only those.
inline constexpr const char* kWrittenByValue = "WrittenBy";

inline constexpr int kDefaultPort = 1234;
inline constexpr int kDefaultReadTimeoutMs = 1000;
inline constexpr int kDefaultAnalyzerAddress = 18;

}  // namespace oru::instruments
