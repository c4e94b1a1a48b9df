// What a driver status means, as a sentence for the operator.
#pragma once

#include <string>

namespace oru::instruments {

// `instrument` names it ("the power meter at GPIB 13"); the gateway's address comes from the
// registry, as the drivers use it.
std::string statusText(int status, const std::string& instrument);

// Copies `text` into the caller's buffer of `size` bytes, cut and terminated; returns its full length.
int copyText(const std::string& text, char* buffer, int size);

}  // namespace oru::instruments
