// The settings file as the user wrote it: every line is kept byte for byte (comments, blank
// lines, order, unknown keys, quotes, text after ";", line endings) and only the values the
// program sets are rewritten. Section and key names match without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace airmeter {

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::string_view text);

    // The value after "=", without surrounding blanks and, when the whole value is quoted with
    // " or ', without the quotes. Nothing when the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool contains(std::string_view section, std::string_view key) const { return value(section, key).has_value(); }

    // Gives the key this value. An existing line keeps its key's spelling and is rewritten only
    // when the value differs; a missing key is added at the end of its section (the section is
    // added at the end of the file when missing). True when the text changed.
    bool set(std::string_view section, std::string_view key, std::string_view value);
    // Adds the key with this value only when it is missing.
    bool setDefault(std::string_view section, std::string_view key, std::string_view value);

    std::string text() const;

private:
    struct Line {
        std::string text;  // without its line ending
        std::string ending;
    };
    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const;
    std::size_t insertionPoint(std::string_view section) const;  // npos: the section is missing

    std::vector<Line> lines_;
    std::string newline_ = "\n";  // the file's own line ending, for lines the program adds
};

}  // namespace airmeter
