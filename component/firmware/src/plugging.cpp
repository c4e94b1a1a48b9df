#include "firmware/plugging.h"

#include <algorithm>
#include <vector>

namespace firmware {
namespace {

constexpr std::size_t kFileNamePlugMax = 20;

std::string VersionText(const VersionSlot& slot) {
  return std::to_string(slot.major) + "." + std::to_string(slot.minor) + "c" + std::to_string(slot.variant);
}

}  // namespace

std::string FileNamePlugText(const std::optional<std::string>& fileName, const FirmwareInfo& info) {
  std::string text;
  if (fileName) {
    text = *fileName;
  } else {
    if (info.versionA.valid) text = VersionText(info.versionA);
    if (info.versionB.valid) text += (info.versionA.valid ? ", " : "") + VersionText(info.versionB);
    if (text.empty()) text = "unknown";
  }
  const auto cut = text.find_last_of("\\:/");
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

unsigned PlugImage(LoadedImage& image, const PdrList& pdrs, const std::optional<std::string>& fileName,
                   std::ostream& out) {
  const std::ios::fmtflags flags = out.flags();
  out << "Plugged: ";
  unsigned total = 0;
  unsigned plugged = 0;
  for (const auto& [address, plug] : image.plugs) {
    if (plug.code == kFileNamePlugCode) {
      const std::string name = FileNamePlugText(fileName, image.info);
      std::vector<std::uint8_t> bytes(std::min<std::size_t>(plug.length, kFileNamePlugMax), 0);
      for (std::size_t i = 0; i < bytes.size() && i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        bytes[i] = static_cast<std::uint8_t>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
      }
      if (image.image.Patch(plug.address, bytes)) {
        out << "[filename]  ";
      } else {
        out << "\nWarning: file name plug does not fit!\n";
      }
      continue;
    }
    ++total;
    const auto code = static_cast<std::uint16_t>(plug.code & 0xFFFF);
    const RawPdr* pdr = pdrs.Find(code);
    if (pdr == nullptr) continue;
    const std::vector<std::uint8_t> data = pdr->DataBytes();
    if (data.size() != plug.length) {
      out << "\nLength mismatch on PDR " << std::hex << code << "\n";
      continue;
    }
    if (image.image.Patch(plug.address, data)) {
      out << "(" << std::hex << code << " OK) ";
      ++plugged;
    } else {
      out << "No room for 0x" << std::hex << code << " in memory structure.\n";
    }
  }
  if (total != plugged) out << "(and " << std::dec << (total - plugged) << " were NOT)\n";
  out << "\n";
  out.flags(flags);
  return plugged;
}

}  // namespace firmware
