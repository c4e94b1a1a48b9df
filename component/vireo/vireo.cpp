#include "vireo/vireo.h"

#include "baseband/bbp_regs.h"
#include "firmware/firmware_object.h"
#include "firmware/pda_object.h"
#include "records/rids.h"
#include "tallies/tallies.h"

namespace direzo {

namespace {

template <class T, class I>
bool create(ComPtr<I>& slot) {
    return SUCCEEDED(oleaut::createObject<T>(I::iid, slot.putVoid()));
}

}  // namespace

const oleaut::InterfaceDesc& Vireo::dispatchTable() {
    static const oleaut::InterfaceDesc desc =
        dualInterface(u"IVireo", IVireo::iid,
                      {
                          oleaut::hiddenMethod<&IVireo::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
                          oleaut::propget<&IVireo::get_BBPRegs>(u"BBPRegs"),
                          oleaut::propget<&IVireo::get_Firmware>(u"Firmware"),
                          oleaut::propget<&IVireo::get_PDA>(u"PDA"),
                          oleaut::propget<&IVireo::get_RIDs>(u"RIDs"),
                      });
    return desc;
}

// A failed creation stops at once; what was made is released with the Vireo object.
Vireo::Vireo() {
    create<BBPRegs>(bbpRegs_) && create<Rids>(rids_) && create<PDA>(pda_) && create<Firmware>(firmware_) &&
        create<Tallies>(tallies_);
}

HRESULT Vireo::_SetApiObj(LONG apiObj) {
    session_.set(apiObj);
    if (bbpRegs_) bbpRegs_->_SetApiObj(apiObj);
    if (rids_) rids_->_SetApiObj(apiObj);
    if (pda_) pda_->_SetApiObj(apiObj);
    if (firmware_) firmware_->_SetApiObj(apiObj);
    if (tallies_) tallies_->_SetApiObj(apiObj);
    return S_OK;
}

HRESULT Vireo::handOut(IDispatch* object, IDispatch** pVal) {
    if (!pVal) return E_POINTER;
    *pVal = object;
    if (object) object->AddRef();
    return S_OK;
}

}  // namespace direzo
