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
    TxOptions tx{"127.0.0.1"};
    int durationSeconds = 10;  // 0: until interrupted or the run ends
    bool quiet = false;        // only the summary
};

// What --help asks for.
struct HelpRequest {};

// The usage text, with every option's default.
std::string usage();

// The options, the request for help, or the text of what is wrong with the arguments.
std::variant<Options, HelpRequest, std::string> parseOptions(const std::vector<std::string>& args);

}  // namespace airmeter::cli
