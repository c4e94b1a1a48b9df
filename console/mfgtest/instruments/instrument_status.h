// What a driver's status means, in the words the console shows an operator.
#pragma once

#include <string>

namespace kestview::instruments {

// "the instrument did not answer in time" for INSTR_ERR_TIMEOUT; "driver status -9" for a
// status this console does not know.
std::string instrumentStatusText(int status);

// The status says the instrument can no longer be reached: time-out, broken connection, no
// gateway, no session.
bool instrumentLost(int status);

}  // namespace kestview::instruments
