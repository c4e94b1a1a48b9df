// Self-registration of an in-process server's class under HKEY_CLASSES_ROOT: both ProgIDs and
// the CLSID key with InprocServer32 (ThreadingModel Apartment).
#pragma once

#include <string>

#include "oleaut/wtypes.h"

namespace oleaut {

struct InprocClass {
    CLSID clsid;
    std::string progId;           // version-independent
    std::string versionedProgId;  // with ".1"
    std::string displayName;
    std::string typeLibId;        // "{...}", or empty
};

// The path of the shared library that contains `address` (resolved), empty when unknown.
std::string modulePathOf(const void* address);
HRESULT registerInprocClass(const InprocClass& c, const std::string& modulePath);
// Removes the class's keys and both ProgIDs, never the CLSID root.
void unregisterInprocClass(const InprocClass& c);

}  // namespace oleaut
