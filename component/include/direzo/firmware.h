// IPDA, IPDR and IFirmware: the production data area and firmware images.
#pragma once

#include "oleaut/oaidl.h"

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
