// PdrList: production data records in raw form (length word L, code word, L - 1 data words),
// sorted by code, at most one record per code.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace firmware {

// One raw record: words[0] = L, words[1] = code, then L - 1 data words.
struct RawPdr {
  std::vector<std::uint16_t> words;

  std::uint16_t length() const { return words[0]; }
  std::uint16_t code() const { return words[1]; }
  std::span<const std::uint16_t> data() const { return std::span(words).subspan(2); }
  // The data words as bytes, low byte first.
  std::vector<std::uint8_t> DataBytes() const;
};

class PdrList {
 public:
  // Inserts a copy of `words` (L, code, data), replacing a record of the same code. The end
  // record (L = 2, code 0) is not stored; nor is anything that is not a whole record.
  void Add(std::span<const std::uint16_t> words);
  void Remove(std::uint16_t code);
  const RawPdr* Find(std::uint16_t code) const;
  // Merges the records of a production data area image: a record of length 1 deletes its code,
  // the end record (code 0) or a record running past the words read ends the load.
  void LoadWords(std::span<const std::uint16_t> words);

  std::size_t size() const { return records_.size(); }
  const std::map<std::uint16_t, RawPdr>& records() const { return records_; }

 private:
  std::map<std::uint16_t, RawPdr> records_;
};

// The 512 little-endian words of a 1024-byte production data area image.
std::vector<std::uint16_t> WordsFromBytes(std::span<const std::uint8_t> bytes);

}  // namespace firmware
