// The baseband models' families and their register files: which registers exist, which are
// read-only, and how a register is addressed through the controller's register commands.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "direzo/baseband.h"
#include "transport/adapter_session.h"

namespace direzo {

enum class BasebandFamily { None, Alder, Birch };

// Alder: BBP_ALDER; Birch: the Birch variants and Cedar; anything else (a failed detection's -1
// included): none.
BasebandFamily familyOf(LONG bbpType);

struct RegisterInfo {
    std::u16string name;  // "CR<n>" (control) or "SR<n>" (shadow)
    LONG no;
    bool readOnly;
};

// The family's registers: control registers first, then shadow registers (Birch only).
std::vector<RegisterInfo> registersOf(BasebandFamily family);

// Controller commands that read and write one baseband register.
inline constexpr WORD kCmdReadRegister = 0x0030;
inline constexpr WORD kCmdWriteRegister = 0x0031;
// Birch shadow registers sit behind an index register and a data register.
inline constexpr WORD kShadowIndexAddress = 0x2C;
inline constexpr WORD kShadowDataAddress = 0x2E;
inline constexpr LONG kShadowIndexBase = 0x20;

// Register-bus primitives over the session; nothing when the command fails.
std::optional<WORD> readRegisterAt(AdapterSession& session, WORD address);
bool writeRegisterAt(AdapterSession& session, WORD address, WORD value);

}  // namespace direzo
