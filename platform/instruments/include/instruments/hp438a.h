// libhp438a.so: driver for the HP 438A power meter, reached through the GPIB-ETHERNET gateway
// named in the registry (see gateway_config.h). The meter is programmed in its HP-IB program codes;
// every function returns 0 or a negative status from status.h.
//
//   hp438a_init(address)                 opens a session on GPIB `address` (0..30; the bench's meter
//                                        is at 13) and returns a handle > 0: a device clear, then the
//                                        identity request ("?ID"), whose reply must name the HP438A
//                                        (INSTR_ERR_IDENTITY for another instrument, INSTR_ERR_TIMEOUT
//                                        for none, INSTR_ERR_BUSY when another program has the
//                                        gateway).
//   hp438a_setup(h, sensor, units, trigger, cal, zero)
//                                        presets the meter ("PR") and sets it up; 0 = the meter
//                                        answered a reading. The five words:
//                                          sensor   0 = sensor A ("AP"), 1 = sensor B ("BP")
//                                          units    0 = log, dBm ("LG"), 1 = linear, watts ("LN")
//                                          trigger  0 = free run ("TR3"), 1 = hold ("TR0")
//                                          cal      cal factor in percent, 1..150; 0 = 100 % ("KB100EN")
//                                          zero     0 = leave the zero, 1 = zero the sensor ("ZE")
//   hp438a_measure(h, channel, &value)   triggers with settling ("TR2") and reads the reading of
//                                        `channel` (0 = the set-up sensor, 1 = A "AP", 2 = B "BP");
//                                        `value` is left alone on failure or an over-range reading.
//   hp438a_cal_factor(h, percent)        sets the cal factor of the current sensor ("KB<percent>EN").
//   hp438a_close(h)                      ends the session.
//   hp438a_error_message(h, status, text, size)
//                                        what `status` means, as a sentence naming the meter (and the
//                                        gateway's address), into `text` (`size` bytes, terminated);
//                                        returns the sentence's full length. `h` may be the failed
//                                        init's result.
#pragma once

#include "instruments/status.h"

#ifdef __cplusplus
extern "C" {
#endif

int hp438a_init(int address);
int hp438a_setup(int handle, int sensor, int units, int trigger, int calFactor, int zero);
int hp438a_measure(int handle, int channel, double* value);
int hp438a_cal_factor(int handle, double percent);
int hp438a_close(int handle);
int hp438a_error_message(int handle, int status, char* text, int size);

#ifdef __cplusplus
}
#endif
