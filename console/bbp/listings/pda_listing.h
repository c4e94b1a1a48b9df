// The PDA listing: the baseline register set (record 0x0202) and the shadow register set (record
// 0x0203) as production data records in PDA text form. Each data word holds a register's bus
// address (number x 2) in its high byte and the value in its low byte.
#pragma once

#include <string>
#include <string_view>

#include "register_sheet.h"

namespace kestview::bbp {

// cedar: the baseline record opens with 0401 (register 2 = 1) and closes with 0400 (register 2 =
// 0); otherwise it opens with 169b. A field whose text is not one or two hexadecimal digits gives
// no line, and each record's length word counts the words it really holds.
std::string pdaListing(const RegisterSheet& sheet, bool cedar, std::string_view fileName, std::string_view generated);

}  // namespace kestview::bbp
