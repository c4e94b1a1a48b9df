// Loads the largest station image the reader accepts (about 200 KB of data) and downloads it to
// an adapter memory model, timing the load against srec_cat converting the same file to binary.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "firmware/flashing.h"
#include "firmware/srec_reader.h"
#include "firmware/station_image.h"

namespace {

using Clock = std::chrono::steady_clock;

// Adapter memory as flat pages; every write verified by reading it back.
class MemoryAdapter final : public firmware::AdapterPort {
 public:
  bool ReadProductionArea(std::span<std::uint8_t, firmware::kProductionAreaBytes>) override { return false; }
  bool BlockProtocols() override { return true; }
  bool UnblockProtocols() override { return true; }
  bool ProbeController() override { return true; }
  bool EnableMemoryAccess() override { return true; }
  bool ResetCard() override { return true; }
  bool ProgramMemory(std::uint32_t, std::span<const std::uint8_t>) override { return false; }
  bool VerifiedWriteMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) override {
    if (memory_.size() < address + bytes.size()) memory_.resize(address + bytes.size(), 0xFF);
    std::copy(bytes.begin(), bytes.end(), memory_.begin() + address);
    return std::equal(bytes.begin(), bytes.end(), memory_.begin() + address);
  }

 private:
  std::vector<std::uint8_t> memory_;
};

template <class F>
double BestMilliseconds(int runs, F&& f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / ("firmware-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string image = (dir / "largest.hex").string();
  const std::string binary = (dir / "largest.bin").string();

  firmware::StationImageOptions options;
  options.codeBytes = 204800;  // the reader refuses data once 204800 bytes are stored
  std::ofstream(image) << firmware::WriteSrec(firmware::MakeStationImageSpec(options));
  const auto fileBytes = std::filesystem::file_size(image);

  constexpr int kRuns = 7;
  std::ostringstream quiet;
  firmware::LoadedImage loaded;
  unsigned lines = 0;
  const double loadMs = BestMilliseconds(kRuns, [&] {
    loaded.Clear();
    quiet.str("");
    lines = firmware::LoadSrecFile(image, loaded, quiet);
  });
  if (lines == 0) {
    std::cerr << "firmware bench: the image did not load: " << quiet.str() << "\n";
    return 1;
  }
  // srec_cat keeps the data records below the side-information range, as the reader does.
  const std::string command = "srec_cat -multiple -disable-sequence-warnings '" + image +
                              "' -crop 0 0xF00000 -o '" + binary + "' -binary";
  int status = 0;
  const double srecCatMs = BestMilliseconds(kRuns, [&] { status = std::system(command.c_str()); });
  const bool sameData = status == 0 && std::filesystem::file_size(binary) == loaded.image.storedBytes();
  MemoryAdapter adapter;
  unsigned blocks = 0;
  const double flashMs = BestMilliseconds(kRuns, [&] {
    blocks = 0;
    firmware::FlashImage(loaded.image, adapter, [&](std::uint16_t, std::uint32_t, std::uint32_t) { ++blocks; });
  });
  std::filesystem::remove_all(dir);

  std::printf("firmware: image of %zu data bytes in %zu bytes of S-records (%u lines)\n",
              loaded.image.storedBytes(), std::size_t(fileBytes), lines);
  std::printf("firmware: load %.2f ms, srec_cat to binary %.2f ms%s -> %s\n", loadMs, srecCatMs,
              status == 0 ? "" : " (srec_cat failed)", sameData && loadMs < srecCatMs ? "goal met" : "goal NOT met");
  std::printf("firmware: download of %u blocks to adapter memory %.2f ms\n", blocks, flashMs);
  return 0;
}
