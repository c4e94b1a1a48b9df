// Connection points (outgoing interfaces) and class information.
#pragma once

#include "oleaut/oaidl.h"

struct IConnectionPointContainer;

struct CONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
};

struct IEnumConnections : IUnknown {
    static constexpr IID iid = makeGuid("B196B287-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) = 0;
    virtual HRESULT Skip(ULONG cConnections) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnections** ppEnum) = 0;
};

struct IConnectionPoint : IUnknown {
    static constexpr IID iid = makeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
    virtual HRESULT Unadvise(DWORD dwCookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;
};

struct IEnumConnectionPoints : IUnknown {
    static constexpr IID iid = makeGuid("B196B285-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
    virtual HRESULT Skip(ULONG cConnections) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnectionPoints** ppEnum) = 0;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr IID iid = makeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;
};

struct IProvideClassInfo : IUnknown {
    static constexpr IID iid = makeGuid("B196B283-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT GetClassInfo(ITypeInfo** ppTI) = 0;
};

inline constexpr const IID& IID_IConnectionPoint = IConnectionPoint::iid;
inline constexpr const IID& IID_IConnectionPointContainer = IConnectionPointContainer::iid;
inline constexpr const IID& IID_IEnumConnections = IEnumConnections::iid;
inline constexpr const IID& IID_IEnumConnectionPoints = IEnumConnectionPoints::iid;
inline constexpr const IID& IID_IProvideClassInfo = IProvideClassInfo::iid;
