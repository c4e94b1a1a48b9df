#include "pda_listing.h"

#include <vector>

#include "listing_text.h"

namespace kestview::bbp {

namespace {
// A record's lines: the header line with the length word, then one line per data line's words.
struct RecordLines {
    std::vector<std::string> lines;
    unsigned words = 0;
    void add(std::string line, unsigned lineWords) {
        lines.push_back(std::move(line));
        words += lineWords;
    }
    void writeTo(ListingText& out, std::string_view code) const {
        out.line(hexDigits(words + 1, 4) + "," + std::string(code) + "     ;(PDR-length), (PDR-code)");
        for (const auto& l : lines) out.line(l);
    }
};

const RegisterField* field(const std::vector<RegisterField>& fields, std::size_t i) {
    return i < fields.size() ? &fields[i] : nullptr;
}
std::string tooltip(const std::vector<RegisterField>& fields, std::size_t i) {
    const auto* f = field(fields, i);
    return f ? f->tooltip : std::string();
}
}  // namespace

std::string pdaListing(const RegisterSheet& sheet, bool cedar, std::string_view fileName, std::string_view generated) {
    RecordLines baseline;
    if (cedar)
        baseline.add("0401         ;CR2  : " + tooltip(sheet.control, 2), 1);
    else
        baseline.add("169b          ;CR11 : " + tooltip(sheet.control, 11), 1);
    for (std::size_t i = 1; i <= 49; ++i) {
        if (i == 2) continue;
        const auto* f = field(sheet.control, i);
        const auto value = f ? byteText(trimmed(f->text)) : std::nullopt;
        if (!value) continue;
        baseline.add(hexDigits(std::uint32_t(i * 2), 2) + *value + "          ;CR" + std::to_string(i) + " : " + f->tooltip, 1);
    }
    if (cedar) baseline.add("0400    ;CR2:" + tooltip(sheet.control, 2), 1);

    RecordLines shadow;
    for (std::size_t i = 0; i < sheet.shadow.size(); ++i) {
        const auto& f = sheet.shadow[i];
        const auto value = byteText(trimmed(f.text));
        if (!value) continue;
        shadow.add("2c" + hexDigits(std::uint32_t(i), 2) + ",2e" + *value + "     ;SR" + std::to_string(i) + " : " + f.tooltip, 2);
    }

    ListingText out;
    out.line("; PDR(202) Birch BBP Baseline Register Set ").spacer();
    baseline.writeTo(out, "0202");
    out.spacer().spacer();
    out.line("; PDR(203) Birch BBP Shadow Register Set ").spacer();
    shadow.writeTo(out, "0203");
    out.spacer().line("; GENERATED:" + std::string(generated)).spacer();
    out.line(";END OF PDA LISTING " + upperCase(fileName));
    return out.take();
}

}  // namespace kestview::bbp
