#include "instrument_status.h"

#include "instruments/status.h"

namespace kestview::instruments {

std::string instrumentStatusText(int status) {
    switch (status) {
    case INSTR_SUCCESS: return "no failure";
    case INSTR_ERR_HANDLE: return "no open session has its handle";
    case INSTR_ERR_NO_GATEWAY: return "the GPIB-LAN gateway could not be reached";
    case INSTR_ERR_TIMEOUT: return "the instrument did not answer in time";
    case INSTR_ERR_REPLY: return "the instrument's answer was not what was asked for";
    case INSTR_ERR_ARGUMENT: return "the instrument does not accept the setting";
    case INSTR_ERR_IO: return "the connection to the gateway broke";
    case INSTR_ERR_SESSIONS: return "too many instrument sessions are open";
    case INSTR_ERR_BUSY: return "the GPIB-LAN gateway is in use by another program";
    case INSTR_ERR_IDENTITY: return "the instrument at its address is not the one the driver is for";
    default: return "driver status " + std::to_string(status);
    }
}

bool instrumentLost(int status) {
    return status == INSTR_ERR_HANDLE || status == INSTR_ERR_NO_GATEWAY || status == INSTR_ERR_TIMEOUT ||
           status == INSTR_ERR_IO || status == INSTR_ERR_BUSY;
}

}  // namespace kestview::instruments
