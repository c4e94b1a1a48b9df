// oru-fwimage: writes station firmware images as S-record files.
//
//   oru-fwimage -o FILE [--station BUILD:MAJOR:MINOR:VARIANT [--code-bytes N] [--seed N]]
//               [--segment ADDR:BINFILE] [--fill ADDR:LENGTH[:SEED]]
//               [--plug CODE:ADDR:LENGTH] [--name-plug ADDR:LENGTH] [--crc ADDR[:FLAG]]
//               [--version ID:VARIANT:MAJOR:MINOR] [--compat ROLE:IFID:VARIANT:BOTTOM:TOP]
//               [--build SEQ] [--platform ID:VARIANT:BOTTOM:TOP] [--info TYPE[:W,W,...]]
//               [--exec ADDR] [--address-bytes 2|3|4] [--record-bytes N] [--header TEXT]
//
// Numbers may be decimal or 0x-prefixed hexadecimal. The file is written whole or not at all.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "firmware/srec_writer.h"
#include "firmware/station_image.h"

namespace {

using firmware::ImageLayout;

std::uint32_t Number(const std::string& text, std::uint64_t max = 0xFFFFFFFF) {
  if (text.empty()) throw std::invalid_argument("missing number");
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || text[0] == '-' || value > max) {
    throw std::invalid_argument("not a number in range: '" + text + "'");
  }
  return static_cast<std::uint32_t>(value);
}

std::uint16_t Word(const std::string& text) { return static_cast<std::uint16_t>(Number(text, 0xFFFF)); }

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, sep)) parts.push_back(part);
  if (!text.empty() && text.back() == sep) parts.emplace_back();
  return parts;
}

std::vector<std::string> Fields(const std::string& text, std::size_t min, std::size_t max, const char* option) {
  auto parts = Split(text, ':');
  if (parts.size() < min || parts.size() > max) {
    throw std::invalid_argument(std::string(option) + " expects " + std::to_string(min) +
                                (min == max ? "" : " to " + std::to_string(max)) + " fields separated by ':'");
  }
  return parts;
}

std::vector<std::uint8_t> ReadBinary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::invalid_argument("cannot open " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteWhole(const std::string& path, const std::string& text) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::filesystem::remove(temp);
      throw std::runtime_error("cannot write " + path);
    }
  }
  std::filesystem::rename(temp, path);
}

int Usage(std::ostream& to = std::cerr) {
  to << "usage: oru-fwimage -o FILE [--station BUILD:MAJOR:MINOR:VARIANT] [--code-bytes N] [--seed N]\n"
        "       [--segment ADDR:BINFILE] [--fill ADDR:LENGTH[:SEED]] [--plug CODE:ADDR:LENGTH]\n"
        "       [--name-plug ADDR:LENGTH] [--crc ADDR[:FLAG]] [--version ID:VARIANT:MAJOR:MINOR]\n"
        "       [--compat ROLE:IFID:VARIANT:BOTTOM:TOP] [--build SEQ] [--platform ID:VARIANT:BOTTOM:TOP]\n"
        "       [--info TYPE[:W,W,...]] [--exec ADDR] [--address-bytes 2|3|4] [--record-bytes N]\n"
        "       [--header TEXT]\n"
        "Writes a firmware image to FILE: an S-record file with data, plug, CRC and firmware-information\n"
        "records.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  ImageLayout extra;
  extra.header.clear();
  bool station = false;
  firmware::StationImageOptions stationOptions;
  bool haveExec = false;
  std::uint32_t exec = 0;
  std::optional<unsigned> addressBytes;
  std::optional<unsigned> recordBytes;
  std::string header;
  bool haveHeader = false;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string option = argv[i];
      if (option == "-h" || option == "--help") return Usage(std::cout), 0;
      if (i + 1 >= argc) throw std::invalid_argument(option + " needs a value");
      const std::string value = argv[++i];
      if (option == "-o") {
        output = value;
      } else if (option == "--station") {
        const auto f = Fields(value, 4, 4, "--station");
        station = true;
        stationOptions.buildSequence = Word(f[0]);
        stationOptions.major = Word(f[1]);
        stationOptions.minor = Word(f[2]);
        stationOptions.variant = Word(f[3]);
      } else if (option == "--code-bytes") {
        stationOptions.codeBytes = Number(value);
      } else if (option == "--seed") {
        stationOptions.seed = Number(value);
      } else if (option == "--segment") {
        const auto cut = value.find(':');
        if (cut == std::string::npos) throw std::invalid_argument("--segment expects ADDR:BINFILE");
        extra.segments.push_back({Number(value.substr(0, cut)), ReadBinary(value.substr(cut + 1))});
      } else if (option == "--fill") {
        const auto f = Fields(value, 2, 3, "--fill");
        extra.segments.push_back(
            {Number(f[0]), firmware::PseudoRandomBytes(Number(f[1]), f.size() > 2 ? Number(f[2]) : 1)});
      } else if (option == "--plug") {
        const auto f = Fields(value, 3, 3, "--plug");
        extra.plugs.push_back({Number(f[0]), Number(f[1]), Word(f[2])});
      } else if (option == "--name-plug") {
        const auto f = Fields(value, 2, 2, "--name-plug");
        extra.plugs.push_back({firmware::kFileNamePlugCode, Number(f[0]), Word(f[1])});
      } else if (option == "--crc") {
        const auto f = Fields(value, 1, 2, "--crc");
        extra.crcs.push_back({Number(f[0]), f.size() > 1 ? Number(f[1]) : 1});
      } else if (option == "--version") {
        const auto f = Fields(value, 4, 4, "--version");
        extra.infos.push_back(firmware::VersionInfoRecord(Word(f[0]), Word(f[1]), Word(f[2]), Word(f[3])));
      } else if (option == "--compat") {
        const auto f = Fields(value, 5, 5, "--compat");
        extra.infos.push_back(
            firmware::CompatibilityInfoRecord(Word(f[0]), Word(f[1]), Word(f[2]), Word(f[3]), Word(f[4])));
      } else if (option == "--build") {
        extra.infos.push_back(firmware::BuildSequenceInfoRecord(Word(value)));
      } else if (option == "--platform") {
        const auto f = Fields(value, 4, 4, "--platform");
        extra.infos.push_back(firmware::PlatformInfoRecord(Word(f[0]), Word(f[1]), Word(f[2]), Word(f[3])));
      } else if (option == "--info") {
        const auto f = Fields(value, 1, 2, "--info");
        firmware::InfoRecordLayout info{Word(f[0]), {}};
        if (f.size() > 1 && !f[1].empty()) {
          for (const auto& w : Split(f[1], ',')) info.words.push_back(Word(w));
        }
        extra.infos.push_back(info);
      } else if (option == "--exec") {
        haveExec = true;
        exec = Number(value);
      } else if (option == "--address-bytes") {
        addressBytes = Number(value, 4);
      } else if (option == "--record-bytes") {
        recordBytes = Number(value, 250);
      } else if (option == "--header") {
        header = value;
        haveHeader = true;
      } else {
        std::cerr << "oru-fwimage: unknown option " << option << "\n";
        return Usage();
      }
    }
    if (output.empty()) {
      std::cerr << "oru-fwimage: no output file (-o)\n";
      return Usage();
    }
    if (recordBytes) stationOptions.bytesPerRecord = *recordBytes;
    ImageLayout layout = station ? firmware::MakeStationImageLayout(stationOptions) : ImageLayout{};
    if (!station && extra.segments.empty()) throw std::invalid_argument("no data: give --station, --segment or --fill");
    layout.segments.insert(layout.segments.end(), extra.segments.begin(), extra.segments.end());
    layout.plugs.insert(layout.plugs.end(), extra.plugs.begin(), extra.plugs.end());
    layout.crcs.insert(layout.crcs.end(), extra.crcs.begin(), extra.crcs.end());
    layout.infos.insert(layout.infos.end(), extra.infos.begin(), extra.infos.end());
    if (haveExec) layout.executionAddress = exec;
    if (addressBytes) layout.dataAddressBytes = *addressBytes;
    if (recordBytes) layout.bytesPerRecord = *recordBytes;
    if (haveHeader) layout.header = header;
    WriteWhole(output, firmware::WriteSrec(layout));
  } catch (const std::exception& error) {
    std::cerr << "oru-fwimage: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
