#include "c_listing.h"

#include "listing_frame.h"
#include "listing_text.h"

namespace kestview::bbp {

namespace {
const std::string kIndent(10, ' ');

void entry(ListingText& out, std::string_view comment, std::string_view reg, std::string_view value) {
    out.line(kIndent + "/* " + std::string(comment) + " */");
    out.line(kIndent + "ini_set( " + std::string(reg) + ", 0x" + std::string(value) + " , 0xff);");
}
}  // namespace

std::string cListing(const RegisterSheet& sheet, std::string_view fileName, std::string_view generated) {
    ListingText out;
    out.line(std::string(15, ' ') + "# THIS IS A MACHINE GENERATED 'C' FILE LISTING #").line("");
    out.line(fileLine(fileName)).line("");
    out.line("#include <stdio.h>       /* stdio headers */");
    out.line("#include <tw.h>          /* testware API headers */");
    out.line("#include <corvid.h>      /* Vela headers */");
    out.line("#include \"ini.h\"         /* init routines */");
    out.spacer().spacer().line("main()").line("{").spacer();
    out.line("     ini_start();    /* setup init package */").spacer();
    for (std::size_t i = 0; i < sheet.control.size(); ++i) {
        const auto& f = sheet.control[i];
        if (f.locked) continue;
        entry(out, f.tag + " = 0x" + f.text + " # " + f.tooltip, std::string(" ").append(std::to_string(i)), f.text);
        out.spacer();
    }
    for (std::size_t i = 0; i < sheet.shadow.size(); ++i) {
        const auto& f = sheet.shadow[i];
        const std::string index = hexText(std::uint32_t(i) + 0x20);
        const std::string value(trimmed(f.text));
        entry(out, f.tag + " = 0x" + index + " # Set " + f.tooltip + " + offset", "22", index);
        entry(out, f.tag + " = 0x" + value + " # Write " + f.tooltip, "23", value);
        out.spacer();
    }
    out.line("     ini_end();").line("}").spacer();
    out.line("# GENERATED:" + std::string(generated)).spacer();
    out.line(endLine(fileName));
    return out.take();
}

namespace {
std::optional<RegisterWrite> decodeLine(std::string_view line) {
    line = trimmed(line.substr(1));
    if (!line.starts_with("ini_set")) return std::nullopt;
    const auto open = line.find('('), comma = line.find(',');
    if (open == std::string_view::npos || comma == std::string_view::npos || comma < open) return std::nullopt;
    const std::string_view reg = trimmed(line.substr(open + 1, comma - open - 1));
    const auto prefix = line.find("0x");
    if (reg.empty() || prefix == std::string_view::npos) return std::nullopt;
    const auto end = line.find(',', prefix);
    if (end == std::string_view::npos) return std::nullopt;
    const auto value = hexValue(trimmed(line.substr(prefix + 2, end - prefix - 2)));
    if (!value) return std::nullopt;
    return RegisterWrite{"CR" + std::string(reg), *value};
}
}  // namespace

std::vector<RegisterWrite> readCListing(std::string_view text) {
    std::vector<RegisterWrite> writes;
    for (std::string_view line : textLines(text)) {
        if (line.empty()) continue;
        if (auto w = decodeLine(line)) writes.push_back(std::move(*w));
    }
    return writes;
}

}  // namespace kestview::bbp
