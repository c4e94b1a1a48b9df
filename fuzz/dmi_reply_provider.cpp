// A DMI service provider that confirms every command at once with the next reply of a script the
// fuzz target hands it. Each reply is a 16-bit status, a 16-bit length (both little-endian) and that many
// bytes copied into the confirmation buffer; once the script is used up every reply is all
// zeros with success, which ends every listing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dmi/dmiapi.h"

namespace {
const std::uint8_t* script = nullptr;
std::size_t left = 0;
}  // namespace

extern "C" {

void FuzzDmiSetScript(const std::uint8_t* data, std::size_t size) {
    script = data;
    left = size;
}

uint32_t DmiInvoke(DmiMgmtCommand* command) {
    auto* buffer = static_cast<std::uint8_t*>(command->pCnfBuf);
    if (left < 4) {
        std::memset(buffer, 0, command->iCnfBufLen);
        command->iStatus = 0;
        left = 0;
    } else {
        command->iStatus = std::uint32_t(script[0]) | std::uint32_t(script[1]) << 8;
        std::size_t length = std::size_t(script[2]) | std::size_t(script[3]) << 8;
        script += 4;
        left -= 4;
        length = std::min({length, left, std::size_t(command->iCnfBufLen)});
        std::memcpy(buffer, script, length);
        script += length;
        left -= length;
    }
    command->pConfirmFunc(command);
    return 0;
}

uint32_t DmiIndicate(DmiIndicateFunc) { return 0; }
uint32_t DmiCiProcess(void) { return 0; }
}
