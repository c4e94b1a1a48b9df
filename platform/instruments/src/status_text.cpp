#include "status_text.h"

#include <algorithm>
#include <cstring>

#include "gateway_link.h"
#include "instruments/status.h"

namespace oru::instruments {

std::string statusText(int status, const std::string& instrument) {
    const GatewaySettings g = readGatewaySettings();
    const std::string gateway = "the instrument gateway at " + g.address + ":" + std::to_string(g.port);
    switch (status) {
    case INSTR_SUCCESS: return "done";
    case INSTR_ERR_HANDLE: return "no open session of " + instrument;
    case INSTR_ERR_NO_GATEWAY: return gateway + " does not answer (is it on and its address right?)";
    case INSTR_ERR_BUSY: return gateway + " is in use by another program";
    case INSTR_ERR_TIMEOUT: return instrument + " did not answer";
    case INSTR_ERR_REPLY: return instrument + " gave a reply that is not what was asked";
    case INSTR_ERR_ARGUMENT: return "a setting " + instrument + " cannot take";
    case INSTR_ERR_IO: return "the connection to " + gateway.substr(4) + " broke";
    case INSTR_ERR_SESSIONS: return "too many sessions open on " + instrument;
    case INSTR_ERR_IDENTITY: return "another instrument answers in place of " + instrument;
    default: return "status " + std::to_string(status);
    }
}

int copyText(const std::string& text, char* buffer, int size) {
    if (buffer && size > 0) {
        const std::size_t n = std::min(text.size(), std::size_t(size - 1));
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return int(text.size());
}

}  // namespace oru::instruments
