// clsSRT: the sweep results table of record FD88 as 16-bit words: two leading words, then one
// entry of 31 words per station found.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <QString>
#include <QStringList>

namespace kestview {

class clsSRT {
public:
    // Takes the record's words (an empty span, as for a value that is not an array, leaves the
    // table empty).
    void Load(std::span<const std::int16_t> words);

    // Entry k counts from 1. Numeric members give -1 and text members "?" for an entry that is
    // not valid; a field that lies beyond the words read gives -1 or "EXCEPTION".
    long ChannelId(long k) const;
    long AvgNoiseLevel(long k) const;   // the word / 127 x 100, rounded halves to even
    long SignalLevel(long k) const;     // likewise
    QString Bssid(long k) const;        // "02:4F:52:55:00:01"
    long BeaconInterval(long k) const;  // milliseconds
    long CapabilityInfo(long k) const;
    QString Ssid(long k) const;
    QString SupportedRates(long k) const;  // each rate's name followed by a blank, ten in all
    QString ProbeRate(long k) const;       // "1 MB/s" ... "11 MB/s" or "Unknown Rate"
    bool IsValid(long k) const;
    static QString RateName(long x);

    long Count() const { return count_; }

private:
    // Word `offset` of entry k, unsigned; nothing beyond the words read.
    std::optional<std::uint16_t> word(long k, int offset) const;
    long number(long k, int offset) const;
    long level(long k, int offset) const;
    // Bytes of `words` words from `offset` on, low byte of each word first; nothing when they
    // lie beyond the words read.
    std::optional<std::vector<std::uint8_t>> bytes(long k, int offset, int words) const;

    std::vector<std::uint16_t> words_;
    long count_ = 0;
};

// The capability bits as text: " ESS ", " IBSS ", " CF Poll Request ", " CF Pollable", " Privacy ".
QString capabilityText(long capability);

// The lines of the sweep window for entries 1 to `entries`.
QStringList sweepResultLines(const clsSRT& table, long entries);

// Entries a record of this length word holds: round((length - 3) / 31), halves to even.
long sweepEntries(long length);

}  // namespace kestview
