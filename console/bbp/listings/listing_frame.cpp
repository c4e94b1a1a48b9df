#include "listing_frame.h"

namespace kestview::bbp {

namespace {
const std::string kRule(30, '_');
}

std::string fileLine(std::string_view fileName) {
    return "# " + kRule + " FILE:" + std::string(fileName) + kRule + "#";
}

std::string endLine(std::string_view fileName) { return "# END OF INI LISTING " + upperCase(fileName) + " #"; }

}  // namespace kestview::bbp
