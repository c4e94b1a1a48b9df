// The receive side's sequence and loss rules for datagrams.
#pragma once

#include <cstddef>
#include <cstdint>

namespace airmeter {

class SequenceTracker {
public:
    struct Result {
        std::uint32_t lost = 0;
        bool firstSequence = false;  // this datagram synchronised the tracker
    };

    // A datagram shorter than the header carries no sequence number and changes nothing.
    Result onDatagram(const std::uint8_t* data, std::size_t length);
    bool synchronised() const { return synchronised_; }
    std::uint32_t expected() const { return expected_; }

private:
    bool synchronised_ = false;
    std::uint32_t expected_ = 0;
};

}  // namespace airmeter
