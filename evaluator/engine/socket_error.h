// Socket failures are reported with the sockets-library error numbers the program has always shown
// (10035 would block, 10054 connection reset, 10061 connection refused ...).
#pragma once

namespace airmeter {

inline constexpr int kWsaWouldBlock = 10035;

// Translates a POSIX errno value into the sockets-library error number.
int wsaError(int posixErrno);

// The sockets-library error number of the calling thread's last failed socket call.
int lastSocketError();

}  // namespace airmeter
