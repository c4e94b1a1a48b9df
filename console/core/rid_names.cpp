#include "rid_names.h"

#include <algorithm>
#include <array>

#include "hex_text.h"

namespace kestview {

namespace {

// "Own DTIM Period" belongs between FC10 and FC23, but no record the adapter reports is tied to
// it, so it names no record.
constexpr std::array<RidDescription, 85> kDescriptions{{
    {0xFC00, "Port Type"},
    {0xFC01, "MAC Address"},
    {0xFC02, "Configured SSID"},
    {0xFC03, "Channel"},
    {0xFC04, "Own SSID"},
    {0xFC05, "Own ATIM"},
    {0xFC06, "AP Density"},
    {0xFC07, "Max Data Length"},
    {0xFC08, "Mac Address of WDS Link Node"},
    {0xFC09, "ESS PM On/Off"},
    {0xFC0A, "ESS PM Enhanced PM mode On/Off"},
    {0xFC0B, "Multicast Receive On/Off"},
    {0xFC0C, "Max Sleep Time for ESS PM"},
    {0xFC0D, "Holdover time for ESS PM"},
    {0xFC0E, "Identification Name for Diagnostics"},
    {0xFC10, "Delivery Traffic Identification Maps"},
    {std::nullopt, "Own DTIM Period"},
    {0xFC23, "WEP Default Key Id Used"},
    {0xFC24, "WEP Default Key 1"},
    {0xFC25, "WEP Default Key 2"},
    {0xFC26, "WEP Default Key 3"},
    {0xFC27, "WEP Default Key 4"},
    {0xFC28, "WEP Flags"},
    {0xFC29, "WEP Key Mapping Table"},
    {0xFC2A, "WEP Use shared key authentication"},
    {0xFC2C, "Configure TX Control"},
    {0xFC2D, "Configure Roaming Mode"},
    {0xFC30, "Configure Receive CRC Error"},
    {0xFC31, "MM Life"},
    {0xFC32, "Configure ALT Retry Count"},
    {0xFC33, "Configure Beacon Interval"},
    {0xFC35, "Configure STA AP CF Info"},
    {0xFC80, "Multicast MAC Address for Message RX"},
    {0xFC81, "IBSS Creation On/Off"},
    {0xFC82, "Fragment length for unicast TX"},
    {0xFC83, "Frame length used for RTS/CTS control"},
    {0xFC84, "TX Rate Control"},
    {0xFC85, "Promiscuous mode On/Off"},
    {0xFCB0, "Configure Short Preamble"},
    {0xFCB1, "Configure Exclude Long Preamble"},
    {0xFCB3, "Cofigure Basic Rates"},
    {0xFCB4, "Configure Supported Rates"},
    {0xFCE0, "Configure Tick Time"},
    {0xFCE1, "Scan Request"},
    {0xFCE2, "Join Request"},
    {0xFD00, "Maximum response time of download cmd"},
    {0xFD01, "Download buffer location and size"},
    {0xFD02, "Primary functions firmware ID"},
    {0xFD03, "Primary functions interface supplier"},
    {0xFD04, "Primary controller interface: Actor compatibility range"},
    {0xFD0A, "NIC Serial Number"},
    {0xFD0B, "NIC Id"},
    {0xFD0C, "Modem Interface: Supplier compatibility range"},
    {0xFD0D, "Controller interface: Supplier compatibility range"},
    {0xFD10, "Allowed communication channels"},
    {0xFD11, "List of intended regulatory domians"},
    {0xFD12, "Hardware temperature range code"},
    {0xFD13, "Card Information Structure (CIS)"},
    {0xFD20, "Station Functions firware Id"},
    {0xFD21, "Station interface: Supplier compatibility range"},
    {0xFD22, "Modem interface: Actor compatibility range"},
    {0xFD23, "Controller interface: Actor compatibility range"},
    {0xFD40, "MAC Port connection status"},
    {0xFD41, "Current SSID"},
    {0xFD42, "Current BSSID"},
    {0xFD43, "Quality of the BSS connection"},
    {0xFD44, "Current Tx rate"},
    {0xFD45, "Interval time for beacon TX and RX"},
    {0xFD46, "Actual system scale thresholds settings"},
    {0xFD47, "Max response time to req messages"},
    {0xFD48, "Max number of TX attempts for short frames"},
    {0xFD49, "Max number of TX attempts for long frames"},
    {0xFD4A, "Max Tx frame handling duration"},
    {0xFD4B, "Max Rx frame handling duration (fragments)"},
    {0xFD4C, "CF pollable capability indication"},
    {0xFD4D, "Available authentication algorithm indication"},
    {0xFD4F, "WEP option availability indication"},
    {0xFD88, "Sweep Results Table"},
    {0xFDC0, "Physical layer type Id"},
    {0xFDC1, "Current frequency channel used for TX"},
    {0xFDC2, "Current Power consumption status"},
    {0xFDC3, "Clear channel assessment mode indication"},
    {0xFDC6, "Data rates capability information"},
    {0xFFFE, "Build Sequence Number"},
    {0xFFFF, "Firmware Hex FileNames"},
}};

}  // namespace

std::span<const RidDescription> ridDescriptions() { return kDescriptions; }

std::optional<QString> nameRid(long no) {
    if (no < -1024 || no > 0xFFFF) return std::nullopt;
    const auto hit = std::find_if(kDescriptions.begin(), kDescriptions.end(),
                                  [no](const RidDescription& d) { return d.no && long(*d.no) == no; });
    if (hit != kDescriptions.end()) return QString::fromLatin1(hit->text);
    // A negative number shows as its 32-bit two's complement.
    return "[" + hexText(std::uint32_t(no)) + "]";
}

}  // namespace kestview
