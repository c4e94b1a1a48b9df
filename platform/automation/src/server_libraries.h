// The in-process server libraries loaded into this process: each is loaded once and stays
// loaded until it answers DllCanUnloadNow with S_OK.
#pragma once

#include <string>

#include "oleaut/objbase.h"

namespace oleaut::detail {

// Loads the library at path (if not yet loaded) and asks its DllGetClassObject.
HRESULT classObjectFromLibrary(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv);
void freeUnusedLibraries();

}  // namespace oleaut::detail
