#include "firmware/srec_reader.h"

#include <array>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "firmware/input_file.h"

namespace firmware {
namespace {

// A line is read into a 520-character buffer: longer lines arrive in pieces of 519 characters.
constexpr std::size_t kLinePiece = 519;

// Reads a file line by line as text: a carriage return before a line feed is dropped.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file_(file), buffer_(1 << 16) { slow_.reserve(kLinePiece); }

  // One read into `line`, valid until the next read: false when it meets the end of the file
  // without a character. A line within the buffer is not copied.
  bool Read(std::string_view& line) {
    // The common case, a whole line of at most one piece in the buffer, is taken in one go.
    if (pos_ < len_) {
      const char* start = buffer_.data() + pos_;
      const auto* end = static_cast<const char*>(std::memchr(start, '\n', std::min(len_ - pos_, kLinePiece + 1)));
      const std::size_t n = end ? static_cast<std::size_t>(end - start) : 0;
      const std::size_t kept = n && start[n - 1] == '\r' ? n - 1 : n;
      // A line of a whole piece or more is read as below, which ends the piece before its feed.
      if (end && kept < kLinePiece) {
        line = std::string_view(start, kept);
        pos_ += n + 1;
        return true;
      }
    }
    slow_.clear();
    bool any = true;
    while (slow_.size() < kLinePiece) {
      const int c = Get();
      if (c == EOF) {
        any = !slow_.empty();
        break;
      }
      if (c == '\r' && Peek() == '\n') continue;
      if (c == '\n') break;
      slow_.push_back(static_cast<char>(c));
    }
    line = slow_;
    return any;
  }

 private:
  bool Fill() {
    if (pos_ < len_) return true;
    len_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    return len_ != 0;
  }
  int Get() { return Fill() ? static_cast<unsigned char>(buffer_[pos_++]) : EOF; }
  int Peek() { return Fill() ? static_cast<unsigned char>(buffer_[pos_]) : EOF; }

  std::FILE* file_;
  std::vector<char> buffer_;
  std::string slow_;  // a line read character by character
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
};

constexpr std::array<std::int8_t, 256> MakeHexTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::int8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::int8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::int8_t>(c - 'A' + 10);
  return table;
}
constexpr auto kHex = MakeHexTable();

enum class Kind { Info, Data, Execution };

std::uint32_t Le32(std::span<const std::uint8_t> d, std::size_t at) {
  return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (std::uint32_t{d[at + 3]} << 24);
}

// Restores the stream's number base and flags when the load ends.
class StreamStateGuard {
 public:
  explicit StreamStateGuard(std::ostream& out) : out_(out), flags_(out.flags()) {}
  ~StreamStateGuard() { out_.flags(flags_); }
 private:
  std::ostream& out_;
  std::ios::fmtflags flags_;
};

class RecordParser {
 public:
  RecordParser(LoadedImage& target, std::ostream& out) : target_(target), out_(out) {}

  // Parses one non-empty line; false when the record is rejected (message written).
  bool Parse(std::string_view line, unsigned n) {
    const std::size_t length = line.size();
    for (std::size_t i = 1; i < length; ++i) {
      const int v = kHex[static_cast<unsigned char>(line[i])];
      if (v < 0) {
        out_ << "Error (line " << std::dec << n << ")  - Bad character found. Cannot process file.\n";
        return false;
      }
      nibbles_[i] = static_cast<std::uint8_t>(v);
    }
    if (line[0] != 'S') {
      out_ << "Error: Line " << std::hex << n << ": record does not begin with 'S'\n";
      return false;
    }
    if (length < 2) return LengthInvalid(n);
    Kind kind;
    std::size_t addressDigits;
    switch (nibbles_[1]) {
      case 0: case 5:
        out_ << "Info records ignored.\n";
        kind = Kind::Info; addressDigits = 0; break;
      case 1: kind = Kind::Data; addressDigits = 4; break;
      case 2: kind = Kind::Data; addressDigits = 6; break;
      case 3: kind = Kind::Data; addressDigits = 8; break;
      case 7: kind = Kind::Execution; addressDigits = 8; break;
      case 8: kind = Kind::Execution; addressDigits = 6; break;
      case 9: kind = Kind::Execution; addressDigits = 4; break;
      default:
        out_ << "ERROR: Line " << std::dec << n << ": record type invalid or unsupported.\n";
        return false;
    }
    if (length < 4) return LengthInvalid(n);
    const std::size_t count = Byte(2);
    if (2 * count + 4 != length) return LengthInvalid(n);
    if (kind == Kind::Execution && length != addressDigits + 6) return LengthInvalid(n);
    if (kind == Kind::Data && length < addressDigits + 6) return LengthInvalid(n);

    unsigned sum = 0;
    for (std::size_t i = 2; i + 1 < length; i += 2) sum += Byte(i);
    if ((sum & 0xFF) != 0xFF) {
      out_ << "ERROR: Line " << std::dec << n << ": Checksum failed.\n";
      return false;
    }
    if (kind == Kind::Info) return true;

    std::uint32_t address = 0;
    for (std::size_t i = 4; i < 4 + addressDigits; ++i) address = (address << 4) | nibbles_[i];
    if (kind == Kind::Execution) {
      if (target_.image.executionAddress()) {
        out_ << "ERROR: Line " << std::dec << n << ": 2nd execution address found!\n";
        return false;
      }
      target_.image.SetExecutionAddress(address);
      return true;
    }
    const std::size_t dataBytes = (length - addressDigits - 6) / 2;
    for (std::size_t i = 0; i < dataBytes; ++i) dataBytes_[i] = Byte(4 + addressDigits + 2 * i);
    data_ = std::span<const std::uint8_t>(dataBytes_.data(), dataBytes);

    if (address < kSpecialRecordBase) return Append(address, data_, n);
    if (address == kPlugRecordAddress) return PlugRecordLine(n);
    if (address == kCrcRecordAddress) return CrcRecordLine(n);
    if ((address & 0xFFF00000) == kInfoRecordAddress) return InfoRecordLine(n);
    out_ << "Line " << std::hex << n << ": Unknown record\n";
    return false;
  }

 private:
  std::uint8_t Byte(std::size_t at) const {
    return static_cast<std::uint8_t>((nibbles_[at] << 4) | nibbles_[at + 1]);
  }

  bool LengthInvalid(unsigned n) {
    out_ << "ERROR: Line " << std::dec << n << ": line length invalid.\n";
    return false;
  }

  bool InvalidFormat(unsigned n) {
    out_ << "Line " << std::hex << n << ": Invalid record format. \n";
    return false;
  }

  bool Append(std::uint32_t address, std::span<const std::uint8_t> bytes, unsigned n) {
    const char* reason = nullptr;
    switch (target_.image.Append(address, bytes)) {
      case FirmwareImage::AppendResult::Ok: return true;
      case FirmwareImage::AppendResult::NoData: reason = "data record holds no data"; break;
      case FirmwareImage::AppendResult::ImageFull: reason = "image larger than 204800 bytes"; break;
      case FirmwareImage::AppendResult::TooManySegments: reason = "more than 255 segments"; break;
    }
    out_ << "ERROR: Line " << std::dec << n << ": Memory allocation error. Cannot continue ("
         << reason << ").\n";
    return false;
  }

  bool PlugRecordLine(unsigned n) {
    if (data_.size() < 12) return InvalidFormat(n);
    target_.plugs.Insert(PlugRecord{Le32(data_, 0), Le32(data_, 4),
                                    static_cast<std::uint16_t>(Le32(data_, 8) & 0xFFFF)});
    return true;
  }

  bool CrcRecordLine(unsigned n) {
    if (data_.size() < 12) return InvalidFormat(n);
    if (Le32(data_, 8) == 0) return true;
    // The image carries the marker value 0xC0DE in place of a computed CRC.
    static constexpr std::array<std::uint8_t, 2> kMarker{0xDE, 0xC0};
    const std::uint32_t at = Le32(data_, 0) - 2;
    if (target_.image.Patch(at, kMarker)) return true;
    return Append(at, kMarker, n);
  }

  std::int16_t Word(std::size_t index) const {
    return static_cast<std::int16_t>(data_[2 * index] | (data_[2 * index + 1] << 8));
  }

  bool InfoRecordLine(unsigned n) {
    if (data_.size() < 2) return InvalidFormat(n);
    const std::size_t size = static_cast<std::uint16_t>(Word(0));
    if (2 * size + 2 != data_.size()) {
      out_ << "Line " << std::hex << n << ": Record length does not correspond to size field.\n";
      return false;
    }
    if (size > 20) {
      out_ << "Line " << std::hex << n << ": Record length too long.\n";
      return false;
    }
    if (size < 1) return InvalidFormat(n);
    FirmwareInfo& info = target_.info;
    const auto type = static_cast<std::uint16_t>(Word(1));
    switch (type) {
      case 1: {
        if (size != 5) return InvalidFormat(n);
        const auto id = static_cast<std::uint16_t>(Word(2));
        VersionSlot slot{true, Word(2), Word(4), Word(5), Word(3)};
        if (id == FirmwareInfo::kComponentA) info.versionA = slot;
        if (id == FirmwareInfo::kComponentB) info.versionB = slot;
        return true;
      }
      case 2: {
        if (size != 6) return InvalidFormat(n);
        const auto ifid = static_cast<std::uint16_t>(Word(3));
        if (ifid >= FirmwareInfo::kCompatibilityEntries) return InvalidFormat(n);
        info.compatibility[ifid] = CompatibilityEntry{true, Word(2), Word(3), Word(4), Word(5), Word(6)};
        return true;
      }
      case 3:
        if (size < 2) return InvalidFormat(n);
        info.buildSequence = static_cast<std::uint16_t>(Word(2));
        out_ << "Build sequence: " << std::hex << info.buildSequence << "\n";
        return true;
      case 4: {
        if (size != 5) return InvalidFormat(n);
        PlatformEntry entry{true, Word(2), Word(3), Word(4), Word(5)};
        std::size_t slot = FirmwareInfo::kPlatformEntries - 1;
        for (std::size_t i = 0; i + 1 < FirmwareInfo::kPlatformEntries; ++i) {
          if (!info.platforms[i].valid) {
            slot = i;
            break;
          }
        }
        info.platforms[slot] = entry;
        return true;
      }
      default:
        out_ << std::hex << "Unknown firmware info record - size: " << size << ", type: " << type
             << "; " << "Data:  ";
        for (std::size_t i = 2; i <= size; ++i) out_ << static_cast<std::uint16_t>(Word(i)) << ' ';
        out_ << "\n";
        return true;
    }
  }

  LoadedImage& target_;
  std::ostream& out_;
  std::array<std::uint8_t, kLinePiece> nibbles_{};
  std::array<std::uint8_t, kLinePiece / 2> dataBytes_{};
  std::span<const std::uint8_t> data_;
};

}  // namespace

unsigned LoadSrecFile(const std::string& path, LoadedImage& target, std::ostream& out) {
  StreamStateGuard guard(out);
  std::string reason;
  const InputFile file = OpenInputFile(path, reason);
  if (!file) {
    out << "File not found. ";
    if (reason == kNotRegularFile) out << path << ": " << reason << "\n";
    return 0;
  }
  LineReader reader(file.get());
  RecordParser parser(target, out);
  std::string_view line;
  // Wider than 16 bits: blank lines are counted without limit, and a wrapped count would read as a
  // failed load (0) or misnumber the messages.
  unsigned lines = 0;
  for (;;) {
    out << std::hex;
    ++lines;
    if (!reader.Read(line)) break;
    if (line.empty()) continue;
    if (!parser.Parse(line, lines)) return 0;
    if (lines > kMaxHexLines) break;
  }
  if (!target.image.executionAddress()) {
    out << "Error: Line " << std::dec << lines << ": End reached without an execution address record.\n";
    return 0;
  }
  return lines;
}

}  // namespace firmware
