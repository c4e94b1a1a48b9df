// Results shared by the instrument drivers: 0 is success, a negative value names what failed.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum {
    INSTR_SUCCESS = 0,
    INSTR_ERR_HANDLE = -1,      // no open session has this handle
    INSTR_ERR_NO_GATEWAY = -2,  // the gateway could not be reached (nothing listening, bad address)
    INSTR_ERR_TIMEOUT = -3,     // the instrument did not answer within the read time-out
    INSTR_ERR_REPLY = -4,       // the instrument's answer was not what the query returns
    INSTR_ERR_ARGUMENT = -5,    // an argument outside what the instrument accepts
    INSTR_ERR_IO = -6,          // the connection to the gateway broke
    INSTR_ERR_SESSIONS = -7,    // too many sessions open
    INSTR_ERR_BUSY = -8,        // the gateway is serving another program (it takes one client at a time)
    INSTR_ERR_IDENTITY = -9     // the instrument at the address is not the one the driver is for
};

#ifdef __cplusplus
}
#endif
