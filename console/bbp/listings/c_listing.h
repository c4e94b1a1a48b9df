// The 'C' listing: an ini_set( register, 0xvalue , 0xff); call per register, written and read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "register_sheet.h"

namespace kestview::bbp {

// The listing of every unlocked control register, then each shadow register as an index write to
// register 22 (with the 0x20 offset) and a data write to register 23.
std::string cListing(const RegisterSheet& sheet, std::string_view fileName, std::string_view generated);

// The writes a 'C' listing asks for, in file order: every line that, without its first character
// and trimmed, begins "ini_set" gives key = "CR" + the text between "(" and "," and value = the
// text between "0x" and the next ",". A line that cannot be decoded gives nothing.
std::vector<RegisterWrite> readCListing(std::string_view text);

}  // namespace kestview::bbp
