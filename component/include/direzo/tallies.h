// ITallies: the adapter's statistics counters.
#pragma once

#include "oleaut/oaidl.h"

struct ITallies : IDispatch {
    static constexpr IID iid = makeGuid("8B3DD95B-46B2-4E1C-9C7F-2EBF87AED828");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
