#include "sequence_tracker.h"

#include "packet.h"

namespace airmeter {

SequenceTracker::Result SequenceTracker::onDatagram(const std::uint8_t* data, std::size_t length) {
    Result result;
    const auto sequence = sequenceOf(data, length);
    if (!sequence) return result;
    if (!synchronised_) {
        synchronised_ = true;
        expected_ = *sequence;
        result.firstSequence = true;
    }
    // A gap counts as lost; a number that goes backwards only resynchronises.
    const auto gap = static_cast<std::int32_t>(*sequence - expected_);
    if (gap > 0) result.lost = static_cast<std::uint32_t>(gap);
    expected_ = *sequence + 1;
    return result;
}

}  // namespace airmeter
