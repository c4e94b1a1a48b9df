// IRids and IRid: the configuration records the adapter answers.
#pragma once

#include "oleaut/oaidl.h"

struct IRids : IDispatch {
    static constexpr IID iid = makeGuid("79A6642E-EC91-4BDB-AC92-EEAFE8D2BEAB");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};

struct IRid : IDispatch {
    static constexpr IID iid = makeGuid("FA242B0A-1F52-4009-9D8F-BC82B77EB66B");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
