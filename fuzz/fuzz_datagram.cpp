// The receive side's handling of datagrams: the header's sequence number, loss accounting and
// the counters. The input is a series of datagrams, each preceded by a one-byte length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "packet.h"
#include "sequence_tracker.h"
#include "statistics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace airmeter;
    SequenceTracker tracker;
    Statistics statistics;
    for (std::size_t at = 0; at < size;) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        const std::uint8_t* datagram = data + at + 1;
        at += 1 + length;
        const auto sequence = sequenceOf(datagram, length);
        if (sequence.has_value() != (length >= std::size_t(kHeaderSize))) std::abort();
        const auto result = tracker.onDatagram(datagram, length);
        if (sequence && tracker.expected() != *sequence + 1) std::abort();
        statistics.add(1, countedBytes(length, PacketUnit::Mac), result.lost);
    }
    statistics.cumulative();
    return 0;
}
