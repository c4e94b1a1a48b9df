// PlugList: where production data records are to be patched into a firmware image, sorted by
// target address, at most one plug per address.
#pragma once

#include <cstdint>
#include <map>

namespace firmware {

inline constexpr std::uint32_t kFileNamePlugCode = 0xFFFFFFFF;

struct PlugRecord {
  std::uint32_t code = 0;      // PDR code, or kFileNamePlugCode for the image's file name
  std::uint32_t address = 0;   // target address in the image
  std::uint16_t length = 0;    // bytes
};

class PlugList {
 public:
  // Inserts in address order; a plug for an address already listed replaces the old one.
  void Insert(const PlugRecord& plug) { plugs_[plug.address] = plug; }
  void Clear() { plugs_.clear(); }
  std::size_t size() const { return plugs_.size(); }
  auto begin() const { return plugs_.begin(); }
  auto end() const { return plugs_.end(); }

 private:
  std::map<std::uint32_t, PlugRecord> plugs_;
};

}  // namespace firmware
