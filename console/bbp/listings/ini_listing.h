// The INI listing: "CRn = vv     #  description" lines, written and read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "register_sheet.h"

namespace kestview::bbp {

// The listing of every unlocked control register, then two lines (index, data) per shadow register.
std::string iniListing(const RegisterSheet& sheet, std::string_view fileName, std::string_view generated);

// The writes an INI listing asks for, in file order: every comma-separated field starting "CR"
// gives key = its text up to the first blank and value = the first two characters after its "=".
// A field that cannot be decoded gives nothing.
std::vector<RegisterWrite> readIniListing(std::string_view text);

}  // namespace kestview::bbp
