// The hive's file format: the registry-export text ("Windows Registry Editor Version 5.00").
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "hive.h"

namespace oru::registry {

// Thrown for a text that is not a hive; line is 1-based.
struct HiveSyntaxError : std::runtime_error {
    HiveSyntaxError(int line, const std::string& what) : std::runtime_error(what), line(line) {}
    int line;
};

Hive parseHive(std::string_view text);
// Every key gets a section, parents before children, in creation order, so that a reload gives
// back the same hive (values that a plain text cannot carry exactly are written as hex(n):).
std::string formatHive(const Hive& hive);

}  // namespace oru::registry
