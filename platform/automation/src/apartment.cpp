// Apartments: each thread that initialises the runtime is its own apartment; initialisations
// nest and are counted.
#include "apartment.h"

#include <functional>
#include <limits>
#include <vector>

#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"

namespace {

constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

struct Apartment {
    ULONG initialisations = 0;
    DWORD model = 0;
    std::vector<std::function<void()>> atExit;
};
thread_local Apartment apartment;

}  // namespace

namespace oleaut::detail {
bool apartmentInitialised() { return apartment.initialisations > 0; }
}  // namespace oleaut::detail

namespace oleaut {
void atApartmentExit(std::function<void()> work) { apartment.atExit.push_back(std::move(work)); }
}  // namespace oleaut

HRESULT CoInitializeEx(void*, DWORD dwCoInit) {
    if (dwCoInit & ~(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY)) return E_INVALIDARG;
    const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (apartment.initialisations > 0 && apartment.model != model) return RPC_E_CHANGED_MODE;
    if (apartment.initialisations == std::numeric_limits<ULONG>::max()) return E_UNEXPECTED;
    apartment.model = model;
    return ++apartment.initialisations == 1 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(void* pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
    if (apartment.initialisations == 0) return;
    if (apartment.initialisations == 1) {
        // Work registered in the apartment runs while it still exists, newest first.
        while (!apartment.atExit.empty()) {
            std::function<void()> work = std::move(apartment.atExit.back());
            apartment.atExit.pop_back();
            work();
        }
    }
    if (--apartment.initialisations == 0) SetErrorInfo(0, nullptr);  // the error object goes with the apartment
}
