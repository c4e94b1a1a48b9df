// Loads the largest station image the reader accepts (about 200 KB of data), timing the load
// against srec_cat converting the same file to binary, then downloads it to an adapter of the
// simulated bench through the Firmware object, as a client does.
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

#include "adapters/adapters.h"
#include "bench_results.h"
#include "common/text.h"
#include "direzo/subobjects.h"
#include "direzo/vireo.h"
#include "firmware/srec_reader.h"
#include "firmware/station_image.h"
#include "oleaut/comptr.h"
#include "vireo/sim/testing/test_bench.h"

namespace {

using Clock = std::chrono::steady_clock;

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

// The Firmware object of the bench adapter with registry key `key` (opened).
struct BenchFirmware {
  explicit BenchFirmware(const char* key) {
    oleaut::createObject<direzo::Adapters>(IAdapters::iid, adapters.putVoid());
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_BSTR;
    index.bstrVal = direzo::toBstr(direzo::fromAnsi(key));
    adapters->get_Item(index, adapter.put());
    VariantClear(&index);
    if (!adapter) return;
    LONG opened = 0;
    adapter->Open(&opened);
    ComPtr<IDispatch> vireoDispatch, firmwareDispatch;
    adapter->get_Vireo(vireoDispatch.put());
    ComPtr<IVireo> vireo;
    if (vireoDispatch) vireoDispatch->QueryInterface(IVireo::iid, vireo.putVoid());
    if (vireo) vireo->get_Firmware(firmwareDispatch.put());
    if (firmwareDispatch) firmwareDispatch->QueryInterface(IFirmware::iid, firmware.putVoid());
  }
  ~BenchFirmware() {
    if (adapter) adapter->Close();
  }
  ComPtr<IAdapters> adapters;
  ComPtr<IAdapter> adapter;
  ComPtr<IFirmware> firmware;
};

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / ("firmware-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // A private registry and bench state: the benchmark never touches the user's.
  ::setenv("ORU_REGISTRY", (dir / "registry.reg").c_str(), 1);
  ::setenv("ORU_BENCH_STATE", (dir / "bench-state").c_str(), 1);
  const std::string image = (dir / "largest.hex").string();
  const std::string binary = (dir / "largest.bin").string();

  firmware::StationImageOptions options;
  options.codeBytes = 204800;  // the reader refuses data once 204800 bytes are stored
  std::ofstream(image) << firmware::WriteSrec(firmware::MakeStationImageLayout(options));
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
  // The download, each run to an adapter fresh from the factory so that every block is written.
  double flashMs = 0;
  LONG blocks = 0;
  LONG flashed = 0;
  {
    vireo::sim::testing::TestBench bench;
    constexpr const char* kAdapter = "0001";
    BenchFirmware target(kAdapter);
    if (!target.firmware) {
      std::cerr << "firmware bench: no Firmware object for bench adapter " << kAdapter << "\n";
      return 1;
    }
    const BSTR name = direzo::toBstr(direzo::fromAnsi(image));
    LONG loadedOk = 0;
    target.firmware->LoadHEXFile(name, &loadedOk);
    SysFreeString(name);
    target.firmware->get_TotalImageBlocks(&blocks);
    flashMs = BestMilliseconds(kRuns, [&] {
      bench.device(kAdapter)->factoryReset();
      target.firmware->FlashImage(&flashed);
    });
    if (loadedOk != 1 || flashed != 1) {
      std::cerr << "firmware bench: the download to bench adapter " << kAdapter << " failed\n";
      return 1;
    }
  }
  std::filesystem::remove_all(dir);

  std::printf("firmware: image of %zu data bytes in %zu bytes of S-records (%u lines)\n",
              loaded.image.storedBytes(), std::size_t(fileBytes), lines);
  std::printf("firmware: load %.2f ms, srec_cat to binary %.2f ms%s -> %s\n", loadMs, srecCatMs,
              status == 0 ? "" : " (srec_cat failed)", sameData && loadMs < srecCatMs ? "goal met" : "goal NOT met");
  std::printf("firmware: download to a bench adapter (TotalImageBlocks %ld, verified writes) %.2f ms\n", long(blocks),
              flashMs);
  bench::appendResult({"firmware", "load a 200 KB S-record image", loadMs, "ms", "srec_cat converting the same file",
                       srecCatMs, "faster than the peer", sameData && loadMs < srecCatMs});
  bench::appendResult({"firmware", "flash 200 KB to a bench adapter", flashMs, "ms", {}, {}, {}, {}});
  return 0;
}
