// Transmit pacing: with PktDelay > 0 the sender pauses PktDelay ms after every PktBurst + 1
// packets (after every packet when PktBurst is 0 or less).
#pragma once

#include <algorithm>

namespace airmeter {

class Pacer {
public:
    Pacer(int delayMs, int burst) : delayMs_(delayMs), burst_(burst), counter_(burst) {}

    int delayMs() const { return delayMs_; }
    // How many of the next packets may go before a pause is due (at most `limit`).
    int packetsBeforePause(int limit) const {
        if (delayMs_ <= 0) return limit;
        return counter_ <= 0 ? 1 : std::min(limit, counter_ + 1);
    }
    // Called after each packet sent; true when the sender must pause now.
    bool sent() {
        if (delayMs_ <= 0) return false;
        if (counter_ <= 0) {
            counter_ = burst_;
            return true;
        }
        --counter_;
        return false;
    }

private:
    int delayMs_;
    int burst_;
    int counter_;
};

}  // namespace airmeter
