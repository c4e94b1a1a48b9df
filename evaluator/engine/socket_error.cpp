#include "socket_error.h"

#include <cerrno>
#include <utility>

namespace airmeter {
namespace {

// POSIX errno -> sockets-library error number. EINPROGRESS is what a non-blocking connect answers
// here where the sockets library answers "would block".
constexpr std::pair<int, int> kTable[] = {
    {EINTR, 10004},        {EBADF, 10009},        {EACCES, 10013},       {EFAULT, 10014},
    {EINVAL, 10022},       {EMFILE, 10024},       {EAGAIN, 10035},       {EINPROGRESS, 10035},
    {EALREADY, 10037},     {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045}, {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},    {ENETUNREACH, 10051},
    {ENETRESET, 10052},    {ECONNABORTED, 10053}, {ECONNRESET, 10054},   {EPIPE, 10054},
    {ENOBUFS, 10055},      {EISCONN, 10056},      {ENOTCONN, 10057},     {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
};

}  // namespace

int wsaError(int posixErrno) {
    if (posixErrno == 0) return 0;
    for (const auto& [from, to] : kTable) {
        if (from == posixErrno) return to;
    }
    return posixErrno;  // no counterpart: show the system's own number
}

int lastSocketError() { return wsaError(errno); }

}  // namespace airmeter
