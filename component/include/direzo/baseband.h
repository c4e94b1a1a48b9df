// IBBPRegs and IBBPReg: the baseband processor's registers.
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
