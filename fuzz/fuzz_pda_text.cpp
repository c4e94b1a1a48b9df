// PDA text files: the text parser, the walk of the words it gives, and the area image built from
// the records the walk keeps.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>

#include "firmware/pda_area.h"
#include "firmware/pda_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::streambuf* none = nullptr;
    std::ostream quiet(none);
    std::array<std::uint16_t, firmware::kPdaWords> words{};
    const std::size_t count = firmware::ParsePdaText(in, words, quiet);
    if (count > words.size()) std::abort();
    const firmware::AreaWalk walk = firmware::WalkFileWords(std::span(words).first(count));
    if (walk.malformed || !walk.complete) return 0;
    std::string error;
    const auto image = firmware::BuildAreaImage(walk.records, error);
    if (image && image->size() > 2 * firmware::kPdaWords) std::abort();
    return 0;
}
