// The MAC controller's volatile state, as tests and the status tool see it.
#pragma once

#include "win32/basetypes.h"

namespace vireo::sim {

enum class TestMode { Stopped, ContinuousTx, ContinuousRx, Monitor };
const char* testModeName(TestMode m);

struct ControllerState {
    WORD channel = 1;
    TestMode mode = TestMode::Stopped;
    WORD pattern = 0;          // continuous-transmit data pattern
    BYTE portsEnabled = 0;     // bit n: MAC port n (0..6)
    bool asleep = false;
    bool pbodSuppression = false;
    bool txExSuppression = false;
    bool calibrationEnabled = false;
    WORD signalState = 0;
    bool protocolsBlocked = false;
    bool memoryEnabled = false;
    unsigned cardResets = 0;
};

}  // namespace vireo::sim
