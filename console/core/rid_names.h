// RidMod: the human-readable description of each configuration record number, shown by the
// record browser and by the main window for the records it polls.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include <QString>

namespace kestview {

struct RidDescription {
    std::optional<std::uint16_t> no;  // nothing: no record number the adapter reports carries it
    const char* text;
};

// Every description, in record-number order.
std::span<const RidDescription> ridDescriptions();

// The Name a record of this number gets: its description, or "[" + the number in upper-case
// hexadecimal + "]" for another number from -1024 to 65535; nothing (the Name stays as it is)
// for a number outside that range.
std::optional<QString> nameRid(long no);

}  // namespace kestview
