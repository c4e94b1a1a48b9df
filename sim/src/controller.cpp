#include "controller.h"

namespace vireo::sim {

const char* testModeName(TestMode m) {
    switch (m) {
    case TestMode::Stopped: return "stopped";
    case TestMode::ContinuousTx: return "continuous transmit";
    case TestMode::ContinuousRx: return "continuous receive";
    case TestMode::Monitor: return "monitor";
    }
    return "?";
}

Controller::Controller(Baseband& baseband) : baseband_(baseband) {}

void Controller::powerOn(WORD channel) {
    const unsigned resets = state_.cardResets;
    state_ = ControllerState{};
    state_.channel = channel;
    state_.cardResets = resets;
}

BasebandContext Controller::basebandContext(std::int64_t timeUs) const {
    return BasebandContext{timeUs, transmitting(), state_.channel};
}

NDIS_STATUS Controller::execute(CommandBlock& block, std::int64_t timeUs) {
    const WORD status = run(block, timeUs);
    block[0] = status;
    return status == cmdstatus::Ok ? NDIS_STATUS_SUCCESS : NDIS_STATUS_FAILURE;
}

WORD Controller::run(CommandBlock& block, std::int64_t timeUs) {
    const WORD code = block[0], p0 = block[1], p1 = block[2];
    block[1] = block[2] = block[3] = 0;
    const BYTE low = BYTE(code), high = BYTE(code >> 8);
    switch (low) {
    case 0x00:
        if (high != 0) return cmdstatus::UnknownCommand;
        state_.mode = TestMode::Stopped;
        return cmdstatus::Ok;
    case 0x01:
    case 0x02:
        if (high > 6) return cmdstatus::BadParameter;
        if (low == 0x01)
            state_.portsEnabled |= BYTE(1u << high);
        else
            state_.portsEnabled &= BYTE(~(1u << high));
        return cmdstatus::Ok;
    case 0x30: {
        if (high != 0) return cmdstatus::UnknownCommand;
        WORD value = 0;
        if (!baseband_.read(p0, value, basebandContext(timeUs))) return cmdstatus::BadParameter;
        block[1] = value;
        return cmdstatus::Ok;
    }
    case 0x31:
        if (high != 0) return cmdstatus::UnknownCommand;
        return baseband_.write(p0, p1) ? cmdstatus::Ok : cmdstatus::BadParameter;
    case 0x38:
        return testFunction(code, p0);
    default:
        return cmdstatus::UnknownCommand;
    }
}

WORD Controller::testFunction(WORD code, WORD p0) {
    // While the PHY sleeps only the functions that stop, reset or wake it are carried out.
    const bool wakeSafe = code == cmd::WakePhy || code == cmd::SleepPhy || code == cmd::StopTest ||
                          code == cmd::ResetPhy || code == cmd::InitPhy;
    if (state_.asleep && !wakeSafe) return cmdstatus::NotReady;
    const bool birch = isBirchFamily(baseband_.model());
    switch (code) {
    case cmd::ResetPhy:
        state_.mode = TestMode::Stopped;
        state_.calibrationEnabled = false;
        baseband_.reset();
        return cmdstatus::Ok;
    case cmd::InitPhy:
        return cmdstatus::Ok;
    case cmd::SleepPhy:
        state_.mode = TestMode::Stopped;
        state_.asleep = true;
        return cmdstatus::Ok;
    case cmd::WakePhy:
        state_.asleep = false;
        return cmdstatus::Ok;
    case cmd::SetChannel:
        if (p0 < 1 || p0 > 14) return cmdstatus::BadParameter;
        state_.channel = p0;
        return cmdstatus::Ok;
    case cmd::PbodSuppression:
        state_.pbodSuppression = true;
        return cmdstatus::Ok;
    case cmd::TxExSuppression:
        state_.txExSuppression = true;
        return cmdstatus::Ok;
    case cmd::Monitor:
        state_.mode = TestMode::Monitor;
        return cmdstatus::Ok;
    case cmd::ContinuousTx:
        state_.mode = TestMode::ContinuousTx;
        state_.pattern = p0;
        return cmdstatus::Ok;
    case cmd::StopTest:
        state_.mode = TestMode::Stopped;
        state_.pbodSuppression = state_.txExSuppression = false;
        return cmdstatus::Ok;
    case cmd::ContinuousRx:
        state_.mode = TestMode::ContinuousRx;
        return cmdstatus::Ok;
    case cmd::SignalState:
        if (!birch) return cmdstatus::NotSupported;
        state_.signalState = p0;
        return cmdstatus::Ok;
    case cmd::CalibrationEnable:
        if (!birch) return cmdstatus::NotSupported;
        state_.calibrationEnabled = true;
        return cmdstatus::Ok;
    default:
        return cmdstatus::UnknownCommand;
    }
}

}  // namespace vireo::sim
