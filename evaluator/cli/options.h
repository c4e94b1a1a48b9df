// Command-line options of airmeter-cli.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "test_settings.h"

namespace airmeter::cli {

struct Options {
    bool transmit = true;
    TestSettings settings;
    TxOptions tx;
    int durationSeconds = 10;  // 0: until interrupted (or the peer closes)
    bool quiet = false;        // only the summary
};

extern const char* const kUsage;

// The options, or the text of what is wrong with the arguments.
std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args);

}  // namespace airmeter::cli
