// IUnknown and IClassFactory.
#pragma once

#include "oleaut/wtypes.h"

struct IUnknown {
    static constexpr IID iid = makeGuid("00000000-0000-0000-C000-000000000046");
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;  // objects are destroyed by Release, never through an interface
};

struct IClassFactory : IUnknown {
    static constexpr IID iid = makeGuid("00000001-0000-0000-C000-000000000046");
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};

inline constexpr const IID& IID_IUnknown = IUnknown::iid;
inline constexpr const IID& IID_IClassFactory = IClassFactory::iid;
