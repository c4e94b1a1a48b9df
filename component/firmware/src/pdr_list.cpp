#include "firmware/pdr_list.h"

namespace firmware {

std::vector<std::uint8_t> RawPdr::DataBytes() const {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(data().size() * 2);
  for (std::uint16_t word : data()) {
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
  }
  return bytes;
}

void PdrList::Add(std::span<const std::uint16_t> words) {
  if (words.size() < 2 || words[0] < 1 || words.size() != std::size_t{words[0]} + 1) return;
  if (words[0] == 2 && words[1] == 0) return;
  records_[words[1]] = RawPdr{std::vector<std::uint16_t>(words.begin(), words.end())};
}

void PdrList::Remove(std::uint16_t code) { records_.erase(code); }

const RawPdr* PdrList::Find(std::uint16_t code) const {
  auto it = records_.find(code);
  return it == records_.end() ? nullptr : &it->second;
}

void PdrList::LoadWords(std::span<const std::uint16_t> words) {
  const std::size_t n = words.size();
  std::size_t i = 0;
  while (i + 1 < n) {
    const std::uint16_t length = words[i];
    const std::uint16_t code = words[i + 1];
    // A zero length word (erased or blank area) holds no record and cannot be stepped over.
    if (length == 0) return;
    if (length == 1) {
      Remove(code);
    } else if (length + i >= n) {
      return;
    } else {
      Add(words.subspan(i, std::size_t{length} + 1));
    }
    if (code == 0) return;
    i += std::size_t{length} + 1;
  }
}

std::vector<std::uint16_t> WordsFromBytes(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint16_t> words(bytes.size() / 2);
  for (std::size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return words;
}

}  // namespace firmware
