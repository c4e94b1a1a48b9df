#include "firmware/calibration.h"

#include <vector>

namespace firmware {
namespace {

constexpr std::uint16_t kMfgSetPointsLength = 31;
constexpr std::uint16_t kMfgIntegratorsLength = 34;
constexpr std::uint16_t kDomainLength = 7;
constexpr std::uint16_t kSetPointsLength = 15;
constexpr std::uint16_t kIntegratorsLength = 18;
constexpr std::size_t kChannels = 14;

bool HasLength(const RawPdr* pdr, std::uint16_t length) { return pdr != nullptr && pdr->length() == length; }

}  // namespace

bool MakeCalibrationRecords(PdrList& pdrs, std::ostream& out) {
  const RawPdr* setPointsSrc = pdrs.Find(kPdrMfgSetPoints);
  const RawPdr* integratorsSrc = pdrs.Find(kPdrMfgIntegrators);
  const RawPdr* domainRec = pdrs.Find(kPdrDomain);
  if (!HasLength(setPointsSrc, kMfgSetPointsLength) || !HasLength(integratorsSrc, kMfgIntegratorsLength) ||
      !HasLength(domainRec, kDomainLength)) {
    out << "Not all PDA entries found. Cannot configure Set point and integrator values.\n";
    return false;
  }
  const unsigned domain = domainRec->data()[1] & 0xFF;
  switch (domain) {
    case 0x10: case 0x20: case 0x30: case 0x31: case 0x32: case 0x40: case 0x41: break;
    default:
      out << "ERROR - PDA entries found, but domain " << std::hex << domain << std::dec
          << " not recognized!\n";
      return false;
  }
  out << "PDA entries found: Using domain " << std::hex << domain << std::dec << "\n";

  const auto sp = setPointsSrc->data();
  const auto in = integratorsSrc->data();
  // Domains 0x40 and 0x41 take the second pass over the channels.
  const std::size_t first = (domain == 0x40 || domain == 0x41) ? 16 : 0;
  std::vector<std::uint16_t> setPoints{kSetPointsLength, kPdrSetPoints};
  std::vector<std::uint16_t> integrators{kIntegratorsLength, kPdrIntegrators};
  for (std::size_t ch = 0; ch < kChannels; ++ch) {
    setPoints.push_back(sp[first + ch]);
    integrators.push_back(in[first + ch]);
  }
  // Words 14 and 15 repeat channels 1 and 13; some domains take those measurements.
  constexpr std::size_t kHeader = 2;
  if (domain == 0x30) {
    setPoints[kHeader + 0] = sp[14];
    integrators[kHeader + 0] = in[14];
  }
  if (domain == 0x30 || domain == 0x32) {
    setPoints[kHeader + 12] = sp[15];
    integrators[kHeader + 12] = in[15];
  }
  for (std::size_t i = 30; i < 33; ++i) integrators.push_back(in[i]);
  pdrs.Add(setPoints);
  pdrs.Add(integrators);
  return true;
}

}  // namespace firmware
