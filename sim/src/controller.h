// The MAC controller: carries out the commands of the command OID (a block of four words: command
// code, then three parameters; returned as status word and three responses).
#pragma once

#include <array>

#include "baseband.h"
#include "vireo/sim/controller_state.h"

namespace vireo::sim {

using CommandBlock = std::array<WORD, 4>;

// Controller command codes. Test functions have the low byte 0x38 and the function in the high byte.
namespace cmd {
constexpr WORD Initialize = 0x0000;
constexpr WORD EnablePort = 0x0001;   // + (port << 8)
constexpr WORD DisablePort = 0x0002;  // + (port << 8)
constexpr WORD ReadBaseband = 0x0030;
constexpr WORD WriteBaseband = 0x0031;
constexpr WORD ResetPhy = 0x0038;
constexpr WORD InitPhy = 0x0138;
constexpr WORD SleepPhy = 0x0238;
constexpr WORD WakePhy = 0x0338;
constexpr WORD SetChannel = 0x0838;
constexpr WORD PbodSuppression = 0x0938;
constexpr WORD TxExSuppression = 0x0A38;
constexpr WORD Monitor = 0x0B38;
constexpr WORD ContinuousTx = 0x0E38;
constexpr WORD StopTest = 0x0F38;
constexpr WORD ContinuousRx = 0x1038;
constexpr WORD SignalState = 0x1138;
constexpr WORD CalibrationEnable = 0x1338;
}  // namespace cmd

// The controller's status word after a command.
namespace cmdstatus {
constexpr WORD Ok = 0x0000;
constexpr WORD BadParameter = 0x0001;
constexpr WORD NotReady = 0x0002;        // the PHY is asleep
constexpr WORD NotSupported = 0x0003;    // not on this baseband
constexpr WORD UnknownCommand = 0x007F;
}  // namespace cmdstatus

class Controller {
public:
    explicit Controller(Baseband& baseband);

    void powerOn(WORD channel);
    // Carries out `block` in place; NDIS_STATUS_FAILURE when the controller reports an error.
    NDIS_STATUS execute(CommandBlock& block, std::int64_t timeUs);

    ControllerState& state() { return state_; }
    const ControllerState& state() const { return state_; }
    bool transmitting() const { return state_.mode == TestMode::ContinuousTx && !state_.asleep; }
    BasebandContext basebandContext(std::int64_t timeUs) const;

private:
    WORD run(CommandBlock& block, std::int64_t timeUs);
    WORD testFunction(WORD code, WORD param0);

    Baseband& baseband_;
    ControllerState state_;
};

}  // namespace vireo::sim
