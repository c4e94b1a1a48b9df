// Reader of station firmware images in S-record form. Data records below 0xF00000 fill the image;
// records from 0xF00000 up carry plug, CRC and firmware information records. Progress and error
// lines go to the given stream.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "firmware/firmware_image.h"
#include "firmware/firmware_info.h"
#include "firmware/plug_list.h"

namespace firmware {

struct LoadedImage {
  FirmwareImage image;
  PlugList plugs;
  FirmwareInfo info;

  void Clear() {
    image.Clear();
    plugs.Clear();
    info = FirmwareInfo{};
  }
};

inline constexpr std::uint32_t kPlugRecordAddress = 0xFF000000;
inline constexpr std::uint32_t kCrcRecordAddress = 0xFF100000;
inline constexpr std::uint32_t kInfoRecordAddress = 0xFF200000;
inline constexpr std::uint32_t kSpecialRecordBase = 0xF00000;
// Lines read before the reader stops; the rest of a file is ignored.
inline constexpr unsigned kMaxHexLines = 32000;

// Loads `path` into `target` (which the caller empties first). Returns the number of lines read,
// counting the final read that meets the end of the file, or 0 when the load failed.
unsigned LoadSrecFile(const std::string& path, LoadedImage& target, std::ostream& out);

}  // namespace firmware
