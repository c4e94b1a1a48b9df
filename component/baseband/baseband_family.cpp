#include "baseband/baseband_family.h"

#include <set>
#include <string_view>

#include "common/text.h"

namespace direzo {

namespace {

// Read-only registers, as colon-terminated name lists.
constexpr std::string_view kAlderReadOnly = "CR0:CR24:CR25:CR26:CR27:CR29:";
constexpr std::string_view kBirchReadOnly =
    "CR0:CR50:CR51:CR52:CR53:CR54:CR55:CR56:CR57:CR58:CR59:CR60:CR61:CR62:CR63:";

std::set<std::u16string> namesIn(std::string_view list) {
    std::set<std::u16string> names;
    for (std::size_t start = 0, end; (end = list.find(':', start)) != std::string_view::npos; start = end + 1)
        names.insert(fromAnsi(list.substr(start, end - start)));
    return names;
}

void addRegisters(std::vector<RegisterInfo>& out, const char* prefix, LONG count,
                  const std::set<std::u16string>& readOnly) {
    for (LONG n = 0; n < count; ++n) {
        std::u16string name = format("%s%ld", prefix, long(n));
        const bool ro = readOnly.contains(name);
        out.push_back({std::move(name), n, ro});
    }
}

}  // namespace

BasebandFamily familyOf(LONG bbpType) {
    switch (bbpType) {
    case BBP_ALDER:
        return BasebandFamily::Alder;
    case BBP_BIRCH_S:
    case BBP_BIRCH_A:
    case BBP_BIRCH_B:
    case BBP_CEDAR:
        return BasebandFamily::Birch;
    default:
        return BasebandFamily::None;
    }
}

std::vector<RegisterInfo> registersOf(BasebandFamily family) {
    std::vector<RegisterInfo> registers;
    switch (family) {
    case BasebandFamily::Alder:
        addRegisters(registers, "CR", 32, namesIn(kAlderReadOnly));
        break;
    case BasebandFamily::Birch:
        addRegisters(registers, "CR", 64, namesIn(kBirchReadOnly));
        addRegisters(registers, "SR", 32, {});
        break;
    case BasebandFamily::None:
        break;
    }
    return registers;
}

std::optional<WORD> readRegisterAt(AdapterSession& session, WORD address) {
    CommandBlock block;
    block.cmd = kCmdReadRegister;
    block.param0 = address;
    if (!session.SendCommand(block)) return std::nullopt;
    return block.resp0();
}

bool writeRegisterAt(AdapterSession& session, WORD address, WORD value) {
    CommandBlock block;
    block.cmd = kCmdWriteRegister;
    block.param0 = address;
    block.param1 = value;
    return session.SendCommand(block);
}

}  // namespace direzo
