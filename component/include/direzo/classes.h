// The component's classes: class ids, ProgIDs and display names, and the type library's id.
#pragma once

#include <array>
#include <string_view>

#include "oleaut/wtypes.h"

namespace direzo {

struct ClassDescriptor {
    CLSID clsid;
    std::u16string_view name;            // coclass name in the type library
    std::u16string_view progId;          // version-independent
    std::u16string_view versionedProgId; // version-dependent, the source of the class's errors
    std::u16string_view displayName;
};

inline constexpr GUID LIBID_DIREZOLib = makeGuid("A5C6FB81-89B2-4DEF-972D-037909702B5B");
inline constexpr WORD kTypeLibMajor = 2;
inline constexpr WORD kTypeLibMinor = 0;
inline constexpr LCID kTypeLibLcid = 1033;
inline constexpr std::u16string_view kTypeLibDescription = u"Maravent Vireo DirEzo 2.0.0.16 Type Library";

inline constexpr ClassDescriptor kAdapterClass{makeGuid("18E89A50-A7B0-4CA4-9094-E36579DF31D7"), u"Adapter",
                                               u"OruDirEzo.adapter", u"OruDirEzo.Adapter.1", u"Adapter Class"};
inline constexpr ClassDescriptor kAdaptersClass{makeGuid("AD3DF56D-C1CF-44EA-9B64-E85446DB69C6"), u"Adapters",
                                                u"OruDirEzo.Adapters", u"OruDirEzo.Adapters.1", u"Adapters Class"};
inline constexpr ClassDescriptor kVireoClass{makeGuid("214F54F9-FAC9-4C48-AF2F-9F527F1B5982"), u"Vireo",
                                             u"OruDirEzo.Vireo", u"OruDirEzo.Vireo.1", u"Vireo Class"};
inline constexpr ClassDescriptor kBBPRegClass{makeGuid("043C055B-DC2F-466B-8E69-9AF67EA7FF18"), u"BBPReg",
                                              u"OruDirEzo.BBPReg", u"OruDirEzo.BBPReg.1", u"BBPReg Class"};
inline constexpr ClassDescriptor kBBPRegsClass{makeGuid("CB8902FD-1974-4178-ADB4-9AE485DBC597"), u"BBPRegs",
                                               u"OruDirEzo.BBPRegs", u"OruDirEzo.BBPRegs.1", u"BBPRegs Class"};
inline constexpr ClassDescriptor kRidsClass{makeGuid("FA557256-FE40-4E58-9DF4-598F3F661568"), u"RIDs",
                                            u"OruDirEzo.Rids", u"OruDirEzo.Rids.1", u"Rids Class"};
inline constexpr ClassDescriptor kRidClass{makeGuid("7A2CE3D6-FEB4-48C4-9671-B5686E4A3419"), u"Rid",
                                           u"OruDirEzo.Rid", u"OruDirEzo.Rid.1", u"Rid Class"};
inline constexpr ClassDescriptor kPDAClass{makeGuid("2A26A72B-34A2-4BF3-8A10-32A64EAE12E5"), u"PDA",
                                           u"OruDirEzo.PDA", u"OruDirEzo.PDA.1", u"PDA Class"};
inline constexpr ClassDescriptor kPDRClass{makeGuid("E6070623-0D25-496D-ABEB-E7A7216B9550"), u"PDR",
                                           u"OruDirEzo.PDR", u"OruDirEzo.PDR.1", u"PDR Class"};
inline constexpr ClassDescriptor kFirmwareClass{makeGuid("990818FB-0D0B-4CB7-9159-F4C9E61FD7CA"), u"Firmware",
                                                u"OruDirEzo.Firmware", u"OruDirEzo.Firmware.1", u"Firmware Class"};
inline constexpr ClassDescriptor kTalliesClass{makeGuid("32047E7E-2220-483B-94CC-FB2F6CDE1CCE"), u"Tallies",
                                               u"OruDirEzo.Tallies", u"OruDirEzo.Tallies.1", u"Tallies Class"};

inline constexpr std::array<const ClassDescriptor*, 11> kAllClasses{
    &kAdapterClass, &kAdaptersClass, &kVireoClass, &kBBPRegClass, &kBBPRegsClass, &kRidsClass,
    &kRidClass, &kPDAClass, &kPDRClass, &kFirmwareClass, &kTalliesClass};

}  // namespace direzo
