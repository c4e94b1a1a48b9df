#include "ini_listing.h"

#include "listing_frame.h"
#include "listing_text.h"

namespace kestview::bbp {

std::string iniListing(const RegisterSheet& sheet, std::string_view fileName, std::string_view generated) {
    ListingText out;
    out.line(std::string(15, ' ') + "# THIS IS A MACHINE GENERATED INI FILE LISTING #").line("");
    out.line(fileLine(fileName)).line("");
    for (const auto& f : sheet.control) {
        if (f.locked) continue;
        std::string tag = f.tag;
        if (tag.size() < 4) tag.resize(4, ' ');
        out.line(tag + " = " + twoDigits(f.text) + "     #  " + f.tooltip);
    }
    for (std::size_t i = 0; i < sheet.shadow.size(); ++i) {
        const auto& f = sheet.shadow[i];
        out.line("CR22 = " + hexDigits(std::uint32_t(i), 2) + "     #  * INDEX #" + std::to_string(i));
        out.line("CR23 = " + twoDigits(f.text) + "     #  " + f.tooltip);
    }
    out.line("").line("# GENERATED:" + std::string(generated)).line("");
    out.line(endLine(fileName));
    return out.take();
}

namespace {
std::optional<RegisterWrite> decodeField(std::string_view field) {
    if (!field.starts_with("CR")) return std::nullopt;
    const std::string_view key = trimmed(field.substr(0, field.find(' ')));
    const auto eq = field.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const auto value = hexValue(trimmed(trimmed(field.substr(eq + 1)).substr(0, 2)));
    if (!value) return std::nullopt;
    return RegisterWrite{std::string(key), *value};
}
}  // namespace

std::vector<RegisterWrite> readIniListing(std::string_view text) {
    std::vector<RegisterWrite> writes;
    for (std::string_view line : textLines(text)) {
        for (std::size_t start = 0; start <= line.size();) {
            const auto comma = line.find(',', start);
            const auto end = comma == std::string_view::npos ? line.size() : comma;
            std::string_view field = line.substr(start, end - start);
            field.remove_prefix(std::min(field.size(), field.find_first_not_of(" \t")));
            if (auto w = decodeField(field)) writes.push_back(std::move(*w));
            start = end + 1;
        }
    }
    return writes;
}

}  // namespace kestview::bbp
