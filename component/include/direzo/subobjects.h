// The Vireo object's sub-objects and their items. Each receives the adapter session through its
// hidden _SetApiObj.
#pragma once

#include "oleaut/oaidl.h"

struct IBBPRegs : IDispatch {
    static constexpr IID iid = makeGuid("F6C60112-E0FD-443C-B2D3-A838F34DCCE4");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
struct IBBPReg : IDispatch {
    static constexpr IID iid = makeGuid("D3A99237-4651-4500-88B5-85EA26C56D30");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
struct IRids : IDispatch {
    static constexpr IID iid = makeGuid("79A6642E-EC91-4BDB-AC92-EEAFE8D2BEAB");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
struct IRid : IDispatch {
    static constexpr IID iid = makeGuid("FA242B0A-1F52-4009-9D8F-BC82B77EB66B");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
struct ITallies : IDispatch {
    static constexpr IID iid = makeGuid("8B3DD95B-46B2-4E1C-9C7F-2EBF87AED828");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
struct IPDA : IDispatch {
    static constexpr IID iid = makeGuid("28896408-640A-4595-9AAA-D122EB3D9401");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
struct IPDR : IDispatch {
    static constexpr IID iid = makeGuid("B822357C-7CFE-4B91-9D6C-5CDF1B034CB1");
};
struct IFirmware : IDispatch {
    static constexpr IID iid = makeGuid("0426E713-AD34-4116-9F31-24D74FC3F974");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
// Outgoing interface of the Firmware class (FlashProgress, dispatch id 1).
struct _IFirmwareEvents {
    static constexpr IID iid = makeGuid("5E9ACF93-84C0-4DA5-8D91-6937EE3AD56A");
};
