// The DIREZOLib type library: every interface's table, the coclasses, the _BaseBand enumeration
// and the records the component declares.
#include <cstddef>
#include <mutex>

#include "adapters/adapter.h"
#include "adapters/adapters.h"
#include "baseband/bbp_reg.h"
#include "baseband/bbp_regs.h"
#include "firmware/firmware_object.h"
#include "firmware/pda_object.h"
#include "firmware/pdr_object.h"
#include "records/rid.h"
#include "records/rids.h"
#include "server/module.h"
#include "tallies/tallies.h"
#include "vireo/vireo.h"

namespace direzo {

oleaut::InterfaceDesc dualInterface(std::u16string name, const IID& iid, std::vector<oleaut::MemberDesc> members) {
    oleaut::InterfaceDesc d;
    d.doc = name + u" Interface";
    d.name = std::move(name);
    d.iid = iid;
    d.typeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
    d.members = std::move(members);
    d.assignDispids();
    return d;
}

oleaut::InterfaceDesc eventInterface(std::u16string name, const IID& iid, std::vector<oleaut::MemberDesc> members) {
    oleaut::InterfaceDesc d;
    d.doc = name + u" Interface";
    d.name = std::move(name);
    d.iid = iid;
    d.typeFlags = TYPEFLAG_FDISPATCHABLE;
    d.members = std::move(members);
    d.assignDispids();
    return d;
}

namespace {

const oleaut::InterfaceDesc& adaptersEvents() {
    static const oleaut::InterfaceDesc d = eventInterface(u"_IAdaptersEvents", _IAdaptersEvents::iid, {});
    return d;
}
const oleaut::InterfaceDesc& vireoEvents() {
    static const oleaut::InterfaceDesc d = eventInterface(u"_IVireoEvents", _IVireoEvents::iid, {});
    return d;
}
const oleaut::InterfaceDesc& firmwareEvents() {
    static const oleaut::InterfaceDesc d = eventInterface(
        u"_IFirmwareEvents", _IFirmwareEvents::iid,
        {oleaut::eventMember(u"FlashProgress",
                             {{u"blockcount", VT_I4, PARAMFLAG_FIN},
                              {u"blocklength", VT_I4, PARAMFLAG_FIN},
                              {u"blockAddress", VT_I4, PARAMFLAG_FIN}},
                             1)});
    return d;
}

// TALLY_INFO: the 36 named counters, then `reserved`, an array of 8 counters.
oleaut::RecordDesc tallyInfoRecord() {
    oleaut::RecordDesc r{u"TALLY_INFO", makeGuid("2AA964AD-9F42-4D75-9D8F-63312D2E526A"), sizeof(TALLY_INFO), {}};
#define DIREZO_TALLY_FIELD(name) r.fields.push_back({u"" #name, VT_I4, ULONG(offsetof(TALLY_INFO, name))});
    DIREZO_TALLY_COUNTERS(DIREZO_TALLY_FIELD)
#undef DIREZO_TALLY_FIELD
    r.fields.push_back({u"reserved", VT_ARRAY | VT_I4, ULONG(offsetof(TALLY_INFO, reserved))});
    return r;
}

template <class T>
oleaut::CoClassDesc coclass(const oleaut::InterfaceDesc* source = nullptr) {
    return {std::u16string(T::kClass.name), T::kClass.clsid, std::u16string(T::kClass.displayName),
            &T::dispatchTable(), source};
}

}  // namespace

const oleaut::TypeLibDesc& typeLibraryDesc() {
    static const oleaut::TypeLibDesc desc = [] {
        oleaut::TypeLibDesc d;
        d.name = u"DIREZOLib";
        d.libid = LIBID_DIREZOLib;
        d.majorVersion = kTypeLibMajor;
        d.minorVersion = kTypeLibMinor;
        d.lcid = kTypeLibLcid;
        d.doc = std::u16string(kTypeLibDescription);
        d.interfaces = {&Adapter::dispatchTable(), &Adapters::dispatchTable(), &Vireo::dispatchTable(),
                        &BBPReg::dispatchTable(),  &BBPRegs::dispatchTable(),  &Rids::dispatchTable(),
                        &Rid::dispatchTable(),     &PDA::dispatchTable(),      &PDR::dispatchTable(),
                        &Firmware::dispatchTable(), &Tallies::dispatchTable(), &adaptersEvents(),
                        &vireoEvents(),            &firmwareEvents()};
        d.coclasses = {coclass<Adapter>(),  coclass<Adapters>(&adaptersEvents()),
                       coclass<Vireo>(&vireoEvents()),
                       coclass<BBPReg>(),   coclass<BBPRegs>(),
                       coclass<Rids>(),     coclass<Rid>(),
                       coclass<PDA>(),      coclass<PDR>(),
                       coclass<Firmware>(&firmwareEvents()), coclass<Tallies>()};
        d.enums = {{u"_BaseBand",
                    makeGuid("4370AEEB-D8AE-4915-A18C-0FE654AE0A29"),
                    u"Baseband",
                    {{u"BBP_UNKNOWN", 0},
                     {u"BBP_ALDER", 3},
                     {u"BBP_BIRCH_S", 16},
                     {u"BBP_BIRCH_A", 17},
                     {u"BBP_BIRCH_B", 19},
                     {u"BBP_CEDAR", 48}}}};
        d.records = {
            {u"VERSION_INFO", makeGuid("6D5CD24C-CE77-4FFD-85F0-B582440DFFE4"), 8,
             {{u"type", VT_I2, 0}, {u"major", VT_I2, 2}, {u"minor", VT_I2, 4}, {u"variant", VT_I2, 6}}},
            {u"COMPATIBILITY_INFO", makeGuid("5DC77EF5-9BAD-4E1E-8606-EA867361B5A4"), 10,
             {{u"role", VT_I2, 0}, {u"ifid", VT_I2, 2}, {u"variant", VT_I2, 4}, {u"bottom", VT_I2, 6},
              {u"top", VT_I2, 8}}},
            {u"PLATFORM_INFO", makeGuid("F1217332-188E-4009-9B51-47F724C5F5A7"), 8,
             {{u"platformId", VT_I2, 0}, {u"variant", VT_I2, 2}, {u"bottom", VT_I2, 4}, {u"top", VT_I2, 6}}},
            tallyInfoRecord(),
        };
        return d;
    }();
    return desc;
}

ITypeLib* typeLibrary() {
    static ComPtr<ITypeLib> lib = [] {
        ComPtr<ITypeLib> l;
        oleaut::CreateTypeLibFromDesc(typeLibraryDesc(), l.put());
        return l;
    }();
    return lib.get();
}

}  // namespace direzo
