// Instrument device files: an instrument's remote-control language as data, in the manner of
// PyVISA-sim's device files (JSON instead of YAML; sim/instruments/README.md describes the format):
// dialogues (fixed queries and replies), properties with getters, setters, units and ranges, the
// instrument's error behaviour, what it sends when addressed to talk, and the measurement
// functions of its behaviour that connect it to the RF path.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vireo::sim::gateway {

struct DeviceFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Dialogue {
    std::string query;                   // the message unit, exactly (case-insensitive)
    std::optional<std::string> reply;    // fixed text, or a format for `function`'s value
    std::string function;                // behaviour function whose value the reply formats
    std::string action;                  // behaviour action carried out
};

struct PropertySpec {
    std::string name;
    std::string type = "float";          // float, int or str
    double defaultNumber = 0;
    std::string defaultText;
    std::optional<std::string> getterQuery, getterReply;
    std::optional<std::string> setterQuery;  // pattern with one {} for the value
    std::optional<double> min, max;
    std::vector<std::string> valid;      // allowed texts (str), or keywords besides numbers
    std::map<std::string, double> units; // suffix -> factor to the base unit
    std::string onSet;                   // behaviour action after a set
};

struct ErrorSpec {
    std::optional<std::string> commandErrorReply;  // sent in reply to a unit it does not know
    // Error queue: `query` reads the oldest entry or `empty` when there is none.
    std::optional<std::string> queueQuery;
    std::string queueEmpty = "0";
    std::string commandErrorCode;
    std::string rangeErrorCode;
};

struct DeviceDefinition {
    std::string name;
    std::string behaviour;               // "power meter", "spectrum analyzer" or "" (dialogues only)
    std::string separators = ";\n";      // characters that separate message units
    bool codesRunTogether = false;       // units may also follow each other unseparated ("PRAPLG")
    std::string replyTerminator = "\r\n";
    std::vector<Dialogue> dialogues;
    std::vector<PropertySpec> properties;
    ErrorSpec error;
    std::optional<Dialogue> talk;        // sent when addressed to talk with no reply pending
    std::optional<int> defaultAddress;   // from the file's resources
};

// Parses a device file and returns its device named `device` (its only device when empty).
DeviceDefinition parseDeviceFile(std::string_view text, const std::string& where, const std::string& device = "");
DeviceDefinition loadDeviceFile(const std::filesystem::path& file, const std::string& device = "");

// The device file shipped for an instrument model ("HP 438A", "HP 8593E").
std::filesystem::path defaultDeviceFile(const std::string& model);

}  // namespace vireo::sim::gateway
