// IVireo: the MAC controller of an open adapter, owner of its five sub-objects.
#pragma once

#include "oleaut/oaidl.h"

struct IVireo : IDispatch {
    static constexpr IID iid = makeGuid("C35123B6-6D40-4016-9B5F-4C015D3C5B22");
    // Hands over the adapter session (a session handle, see session_handles.h) and passes it on.
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT get_BBPRegs(IDispatch** pVal) = 0;
    virtual HRESULT get_Firmware(IDispatch** pVal) = 0;
    virtual HRESULT get_PDA(IDispatch** pVal) = 0;
    virtual HRESULT get_RIDs(IDispatch** pVal) = 0;
};

// Outgoing interface of the Vireo class; it has no members.
struct _IVireoEvents {
    static constexpr IID iid = makeGuid("F4D44040-734A-4EB6-9EE2-EBC152E88332");
};
