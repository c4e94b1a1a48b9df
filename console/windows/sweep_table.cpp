#include "sweep_table.h"

#include <cmath>

#include "hex_text.h"

namespace kestview {

namespace {

constexpr int kLeadingWords = 2;
constexpr int kEntryWords = 31;

// Nearest integer, halves to even (the default floating-point rounding mode).
long roundHalfEven(double x) { return long(std::nearbyint(x)); }

const QString kNotValid = QStringLiteral("?");
const QString kException = QStringLiteral("EXCEPTION");

}  // namespace

void clsSRT::Load(std::span<const std::int16_t> words) {
    words_.assign(words.begin(), words.end());  // a negative word w becomes w + 65536
    const long upperBound = long(words_.size()) - 1;
    count_ = roundHalfEven(double(upperBound - 1) / kEntryWords);
}

bool clsSRT::IsValid(long k) const { return k >= 1 && k <= count_; }

std::optional<std::uint16_t> clsSRT::word(long k, int offset) const {
    const std::size_t index = std::size_t(kLeadingWords + kEntryWords * (k - 1) + offset);
    if (index >= words_.size()) return std::nullopt;
    return words_[index];
}

long clsSRT::number(long k, int offset) const {
    if (!IsValid(k)) return -1;
    const auto w = word(k, offset);
    return w ? long(*w) : -1;
}

long clsSRT::level(long k, int offset) const {
    if (!IsValid(k)) return -1;
    const auto w = word(k, offset);
    return w ? roundHalfEven(double(*w) / 127 * 100) : -1;
}

std::optional<std::vector<std::uint8_t>> clsSRT::bytes(long k, int offset, int words) const {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < words; ++i) {
        const auto w = word(k, offset + i);
        if (!w) return std::nullopt;
        out.push_back(std::uint8_t(*w & 0xFF));
        out.push_back(std::uint8_t(*w >> 8));
    }
    return out;
}

long clsSRT::ChannelId(long k) const { return number(k, 0); }
long clsSRT::AvgNoiseLevel(long k) const { return level(k, 1); }
long clsSRT::SignalLevel(long k) const { return level(k, 2); }
long clsSRT::BeaconInterval(long k) const { return number(k, 6); }
long clsSRT::CapabilityInfo(long k) const { return number(k, 7); }

QString clsSRT::Bssid(long k) const {
    if (!IsValid(k)) return kNotValid;
    const auto b = bytes(k, 3, 3);
    if (!b) return kException;
    QStringList parts;
    for (std::uint8_t x : *b) parts << hexByte(x);
    return parts.join(u':');
}

QString clsSRT::Ssid(long k) const {
    if (!IsValid(k)) return kNotValid;
    const auto length = word(k, 8);
    const auto b = bytes(k, 9, 16);
    if (!length || !b) return kException;
    QString ssid;
    for (std::size_t i = 0; i < std::min<std::size_t>(*length, b->size()); ++i) ssid += QChar((*b)[i]);
    return ssid;
}

QString clsSRT::SupportedRates(long k) const {
    if (!IsValid(k)) return kNotValid;
    const auto b = bytes(k, 25, 5);
    if (!b) return kException;
    QString rates;
    for (std::uint8_t x : *b) rates += RateName(x) + " ";
    return rates;
}

QString clsSRT::ProbeRate(long k) const {
    if (!IsValid(k)) return kNotValid;
    const auto w = word(k, 30);
    if (!w) return kException;
    switch (*w) {
    case 10: return QStringLiteral("1 MB/s");
    case 20: return QStringLiteral("2 MB/s");
    case 55: return QStringLiteral("5.5 MB/s");
    case 110: return QStringLiteral("11 MB/s");
    default: return QStringLiteral("Unknown Rate");
    }
}

QString clsSRT::RateName(long x) {
    const bool basic = (x & 0x80) != 0;
    switch (x & 0x7F) {
    case 2: return basic ? QStringLiteral("*1MB") : QStringLiteral("1MB");
    case 4: return basic ? QStringLiteral("*2MB") : QStringLiteral("2M");
    case 11: return basic ? QStringLiteral("*5.5MB") : QStringLiteral("5.5MB");
    case 22: return basic ? QStringLiteral("*11MB") : QStringLiteral("11MB");
    default: return QString();
    }
}

QString capabilityText(long capability) {
    QString text;
    if (capability & 1) text += " ESS ";
    if (capability & 2) text += " IBSS ";
    if (capability & 8) text += " CF Poll Request ";
    if (capability & 4) text += " CF Pollable";
    if (capability & 16) text += " Privacy ";
    return text;
}

namespace {
// An entry without capability bits (-1) would otherwise claim every capability.
QString capabilityLine(long capability) { return capability < 0 ? kNotValid : capabilityText(capability); }
}  // namespace

long sweepEntries(long length) { return roundHalfEven(double(length - 3) / kEntryWords); }

QStringList sweepResultLines(const clsSRT& t, long entries) {
    QStringList lines;
    for (long k = 1; k <= entries; ++k) {
        lines << "----------- Sweep Entry " + QString::number(k) + " ---------- "
              << "BSSID: " + t.Bssid(k)
              << " - SSID: " + t.Ssid(k)
              << " - Channel ID: " + QString::number(t.ChannelId(k))
              << " - Avg Noise Level: " + QString::number(t.AvgNoiseLevel(k))
              << " - Signal Level: " + QString::number(t.SignalLevel(k))
              << " - Beacon Interval: " + QString::number(t.BeaconInterval(k)) + "mSec"
              << " - Capability Info: " + capabilityLine(t.CapabilityInfo(k))
              << " - Supported Rates: " + t.SupportedRates(k)
              << " - Probe Rate: " + t.ProbeRate(k);
    }
    return lines;
}

}  // namespace kestview
