// The header and closing lines the INI and 'C' listings share.
#pragma once

#include <string>
#include <string_view>

#include "listing_text.h"

namespace kestview::bbp {

// "# ______________________________ FILE:<name>______________________________#"
std::string fileLine(std::string_view fileName);
// "# END OF INI LISTING <NAME> #"
std::string endLine(std::string_view fileName);

}  // namespace kestview::bbp
