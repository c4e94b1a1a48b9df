// Transmit pacing: with PktDelay > 0 the sender pauses PktDelay ms after every PktBurst + 1
// packets (after every packet when PktBurst is 0 or less).
#pragma once

namespace airmeter {

class Pacer {
public:
    Pacer(int delayMs, int burst) : delayMs_(delayMs), burst_(burst), counter_(burst) {}

    int delayMs() const { return delayMs_; }
    // How many of the next packets may go before a pause is due (at most `limit`).
    int packetsBeforePause(int limit) const {
        if (delayMs_ <= 0) return limit;
        if (counter_ <= 0) return 1;
        return counter_ >= limit ? limit : counter_ + 1;  // no overflow for any burst
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
