#include "remote_object.h"

#include <cstring>
#include <vector>

#include "oleaut/com_object.h"
#include "oleaut/oleauto.h"
#include "peer.h"
#include "type_library_wire.h"
#include "wire_values.h"

namespace farlink {

namespace {

constexpr ULONG kFetchPerCall = 256;

BSTR bstrOf(capnp::Data::Reader text) {
    BSTR b = nullptr;
    readBstr(text, &b);
    return b;
}

// Makes the error object the other end's call left the thread's current one, as if the call had
// been made here.
void applyErrorInfo(wire::ErrorInfo::Reader in) {
    if (!in.getPresent()) return;
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    std::u16string source = readText(in.getSource()), description = readText(in.getDescription()),
                   helpFile = readText(in.getHelpFile());
    create->SetGUID(readGuid(in.getGuid()).value_or(GUID_NULL));
    create->SetSource(source.data());
    create->SetDescription(description.data());
    create->SetHelpFile(helpFile.data());
    create->SetHelpContext(in.getHelpContext());
    SetErrorInfo(0, create.as<IErrorInfo>().get());
}

const char16_t* failureText(HRESULT hr) {
    switch (hr) {
    case RPC_E_DISCONNECTED: return u"The connection to the remote host was lost";
    case E_ACCESSDENIED: return u"The remote host revoked this client's credential";
    case RPC_S_SERVER_TOO_BUSY: return u"The remote host is busy: it serves as many clients as it takes";
    case RPC_E_TIMEOUT: return u"The remote host did not answer in time";
    case RPC_E_WRONG_THREAD: return u"The remote object was called from another thread than the one that created it";
    default: return u"The remote host could not carry out the call";
    }
}

// Stores a value that came back for a by-reference argument where the caller's reference points.
void storeByRef(VARIANT& arg, VARIANT& value) {
    const VARTYPE base = VARTYPE(arg.vt & ~VT_BYREF);
    if (base == VT_VARIANT) {
        VariantClear(arg.pvarVal);
        *arg.pvarVal = value;
        return;
    }
    if (value.vt != base && FAILED(VariantChangeType(&value, &value, 0, base))) {
        VariantClear(&value);
        return;
    }
    VARIANT old;
    VariantInit(&old);
    old.vt = base;
    const bool pointer = base == VT_BSTR || base == VT_DISPATCH || base == VT_UNKNOWN || (base & VT_ARRAY);
    const std::size_t size = pointer ? sizeof(void*) : base == VT_I1 || base == VT_UI1 ? 1
                             : base == VT_I2 || base == VT_UI2 || base == VT_BOOL          ? 2
                             : base == VT_I8 || base == VT_UI8 || base == VT_R8 || base == VT_DATE || base == VT_CY ? 8
                                                                                                                   : 4;
    std::memcpy(&old.llVal, arg.byref, size);
    if (pointer) VariantClear(&old);
    std::memcpy(arg.byref, &value.llVal, size);
}

}  // namespace

RemoteObject::RemoteObject(std::shared_ptr<Peer> peer, std::uint64_t id, wire::Object::Client cap)
    : peer_(std::move(peer)), id_(id), cap_(kj::mv(cap)) {}

RemoteObject::~RemoteObject() {
    { auto dropped = kj::mv(cap_); }
    if (!peer_->disconnected()) peer_->queue().poll();  // the release leaves now, not with the next call
    peer_->forgetImport(id_);  // the last proxy of a connection closes it
}

ULONG RemoteObject::Release() {
    const long left = refs_.fetch_sub(1) - 1;
    // Released off its apartment, the proxy cannot touch the connection's event loop: it stays
    // (unreachable) until the process ends, as the platform leaves a stray proxy to its apartment.
    if (left == 0 && peer_->onOwnerThread()) delete this;
    return ULONG(left);
}

template <class Request, class Use>
HRESULT RemoteObject::call(Request&& request, Use use) {
    HRESULT hr = S_OK;
    if (!peer_->onOwnerThread()) hr = RPC_E_WRONG_THREAD;
    else if (peer_->disconnected()) hr = peer_->disconnectedStatus();
    else
        try {
            auto response = peer_->queue().await(request.send(), peer_->limits().callTimeout);
            return use(response);
        } catch (kj::Exception& e) {
            hr = statusOfFailure(e);
            if (hr == RPC_E_DISCONNECTED || hr == E_ACCESSDENIED) peer_->markDisconnected(hr);
        }
    oleaut::setErrorInfo(failureText(hr), u"FarLink", IID_IDispatch);
    return hr;
}

bool RemoteObject::answers(REFIID iid) {
    if (auto it = answers_.find(iid); it != answers_.end()) return it->second;
    auto request = cap_.queryInterfaceRequest();
    request.setIid(guidBytes(iid));
    const HRESULT hr = call(request, [](auto& r) { return HRESULT(r.getHr()); });
    if (hr == RPC_E_DISCONNECTED || hr == RPC_E_TIMEOUT || hr == RPC_E_WRONG_THREAD) return false;  // ask again later
    return answers_[iid] = SUCCEEDED(hr);
}

HRESULT RemoteObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == kProxyIid) *ppv = static_cast<IDispatch*>(this);
    else if (riid == IID_IDispatch && answers(riid)) *ppv = static_cast<IDispatch*>(this);
    else if (riid == IID_IEnumVARIANT && answers(riid)) *ppv = static_cast<IEnumVARIANT*>(this);
    else if (riid == IID_IConnectionPointContainer && answers(riid)) *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IConnectionPoint && answers(riid)) *ppv = static_cast<IConnectionPoint*>(this);
    else if (riid == IID_ISupportErrorInfo && answers(riid)) *ppv = static_cast<ISupportErrorInfo*>(this);
    // Any other interface would be called through its own table of methods, which a proxy cannot
    // offer: the object is reached through IDispatch.
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT RemoteObject::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return call(cap_.getTypeInfoCountRequest(), [&](auto& r) {
        *pctinfo = r.getCount();
        return HRESULT(r.getHr());
    });
}

HRESULT RemoteObject::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    auto request = cap_.getTypeInfoRequest();
    request.setIndex(iTInfo);
    const auto known = peer_->knownTypeLibraries();
    auto list = request.initKnownLibraries(UINT(known.size()));
    for (UINT i = 0; i < known.size(); ++i) list.set(i, guidBytes(known[i]));
    return call(request, [&](auto& r) {
        if (FAILED(r.getHr())) return HRESULT(r.getHr());
        const auto libid = readGuid(r.getLibid());
        const auto iid = readGuid(r.getIid());
        if (!libid || !iid) return E_FAIL;
        ComPtr<ITypeLib> lib = peer_->typeLibrary(*libid);
        if (!lib && r.hasLibrary()) {
            if (const HRESULT hr = buildTypeLibrary(r.getLibrary(), lib.put()); FAILED(hr)) return hr;
            peer_->keepTypeLibrary(*libid, lib);
        }
        if (!lib) return TYPE_E_ELEMENTNOTFOUND;
        return lib->GetTypeInfoOfGuid(*iid, ppTInfo);
    });
}

HRESULT RemoteObject::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    if (!rgszNames || !rgDispId) return E_POINTER;
    auto request = cap_.getIDsOfNamesRequest();
    auto names = request.initNames(cNames);
    for (UINT i = 0; i < cNames; ++i) {
        rgDispId[i] = DISPID_UNKNOWN;
        names.set(i, textBytes(rgszNames[i] ? std::u16string_view(rgszNames[i]) : std::u16string_view()));
    }
    return call(request, [&](auto& r) {
        const auto ids = r.getDispids();
        for (UINT i = 0; i < cNames && i < ids.size(); ++i) rgDispId[i] = ids[i];
        return HRESULT(r.getHr());
    });
}

HRESULT RemoteObject::Invoke(DISPID dispIdMember, REFIID, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                             VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    DISPPARAMS& dp = pDispParams ? *pDispParams : none;
    if (dp.cArgs && !dp.rgvarg) return E_POINTER;
    if (dp.cNamedArgs > dp.cArgs || (dp.cNamedArgs && !dp.rgdispidNamedArgs)) return E_INVALIDARG;
    if (pVarResult) VariantInit(pVarResult);
    if (pExcepInfo) *pExcepInfo = EXCEPINFO{};
    auto request = cap_.invokeRequest();
    request.setDispid(dispIdMember);
    request.setFlags(wFlags);
    request.setLcid(lcid);
    request.setWantResult(pVarResult != nullptr);
    request.setWantException(pExcepInfo != nullptr);
    auto args = request.initArgs(dp.cArgs);
    for (UINT i = 0; i < dp.cArgs; ++i) {
        const VARIANT& a = dp.rgvarg[i];
        HRESULT hr = S_OK;
        if (a.vt == VARTYPE(VT_BYREF | VT_VARIANT)) {
            args[i].setVt(VT_VARIANT);
            hr = a.pvarVal ? peer_->toWire(*a.pvarVal, args[i].initVariant()) : E_POINTER;
        } else {
            hr = peer_->toWire(a, args[i]);
        }
        args[i].setByRef((a.vt & VT_BYREF) != 0);
        if (FAILED(hr)) {
            if (puArgErr) *puArgErr = i;
            return hr;
        }
    }
    auto named = request.initNamed(dp.cNamedArgs);
    for (UINT i = 0; i < dp.cNamedArgs; ++i) named.set(i, dp.rgdispidNamedArgs[i]);
    return call(request, [&](auto& r) {
        const HRESULT hr = r.getHr();
        applyErrorInfo(r.getError());
        if (puArgErr) *puArgErr = r.getArgErr();
        if (pVarResult && r.hasResult()) peer_->fromWire(r.getResult(), pVarResult);
        const auto byRef = r.getByRef();
        for (UINT i = 0; i < dp.cArgs && i < byRef.size(); ++i) {
            VARIANT& a = dp.rgvarg[i];
            if (!(a.vt & VT_BYREF) || !a.byref || !byRef[i].getByRef()) continue;
            VARIANT value;
            const bool viaVariant = byRef[i].getVt() == VT_VARIANT && byRef[i].isVariant();
            if (FAILED(peer_->fromWire(viaVariant ? byRef[i].getVariant() : byRef[i], &value))) continue;
            storeByRef(a, value);
        }
        if (pExcepInfo && r.hasException() && r.getException().getPresent()) {
            const auto e = r.getException();
            pExcepInfo->wCode = e.getCode();
            pExcepInfo->bstrSource = bstrOf(e.getSource());
            pExcepInfo->bstrDescription = bstrOf(e.getDescription());
            pExcepInfo->bstrHelpFile = bstrOf(e.getHelpFile());
            pExcepInfo->dwHelpContext = e.getHelpContext();
            pExcepInfo->scode = e.getScode();
        }
        return hr;
    });
}

HRESULT RemoteObject::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) {
    if (pCeltFetched) *pCeltFetched = 0;
    if (celt && !rgVar) return E_POINTER;
    ULONG fetched = 0;
    HRESULT hr = S_OK;
    while (fetched < celt && hr == S_OK) {
        auto request = cap_.nextRequest();
        request.setCount(std::min(celt - fetched, kFetchPerCall));
        hr = call(request, [&](auto& r) {
            for (auto item : r.getItems()) {
                if (fetched == celt) break;
                if (SUCCEEDED(peer_->fromWire(item, &rgVar[fetched]))) ++fetched;
            }
            return HRESULT(r.getHr());
        });
    }
    if (pCeltFetched) *pCeltFetched = fetched;
    return FAILED(hr) ? hr : fetched == celt ? S_OK : S_FALSE;
}

HRESULT RemoteObject::Skip(ULONG celt) {
    auto request = cap_.skipRequest();
    request.setCount(celt);
    return call(request, [](auto& r) { return HRESULT(r.getHr()); });
}

HRESULT RemoteObject::Reset() {
    return call(cap_.resetRequest(), [](auto& r) { return HRESULT(r.getHr()); });
}

HRESULT RemoteObject::Clone(IEnumVARIANT** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    return call(cap_.cloneRequest(), [&](auto& r) {
        if (FAILED(r.getHr())) return HRESULT(r.getHr());
        ComPtr<IUnknown> copy = peer_->importObject(r.getObject());
        return copy ? copy->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(ppEnum)) : E_FAIL;
    });
}

HRESULT RemoteObject::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    return call(cap_.enumConnectionPointsRequest(), [&](auto& r) {
        if (FAILED(r.getHr())) return HRESULT(r.getHr());
        std::vector<ComPtr<IConnectionPoint>> points;
        for (auto ref : r.getPoints())
            if (ComPtr<IUnknown> p = peer_->importObject(ref)) points.push_back(p.as<IConnectionPoint>());
        std::vector<IConnectionPoint*> raw;
        for (auto& p : points)
            if (p) raw.push_back(p.get());
        return oleaut::CreateEnumConnectionPoints(raw, ppEnum);
    });
}

HRESULT RemoteObject::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    auto request = cap_.findConnectionPointRequest();
    request.setIid(guidBytes(riid));
    return call(request, [&](auto& r) {
        if (FAILED(r.getHr())) return HRESULT(r.getHr());
        ComPtr<IUnknown> point = peer_->importObject(r.getPoint());
        return point ? point->QueryInterface(IID_IConnectionPoint, reinterpret_cast<void**>(ppCP)) : E_FAIL;
    });
}

HRESULT RemoteObject::GetConnectionInterface(IID* pIID) {
    if (!pIID) return E_POINTER;
    return call(cap_.getConnectionInterfaceRequest(), [&](auto& r) {
        *pIID = readGuid(r.getIid()).value_or(GUID_NULL);
        return HRESULT(r.getHr());
    });
}

HRESULT RemoteObject::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (ppCPC) *ppCPC = nullptr;
    return E_NOTIMPL;  // a connection point is reached through its container, which the caller holds
}

HRESULT RemoteObject::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (pdwCookie) *pdwCookie = 0;
    if (!pUnkSink || !pdwCookie) return E_POINTER;
    auto request = cap_.adviseRequest();
    peer_->exportObject(pUnkSink, request.initSink());
    return call(request, [&](auto& r) {
        *pdwCookie = r.getCookie();
        return HRESULT(r.getHr());
    });
}

HRESULT RemoteObject::Unadvise(DWORD dwCookie) {
    auto request = cap_.unadviseRequest();
    request.setCookie(dwCookie);
    return call(request, [](auto& r) { return HRESULT(r.getHr()); });
}

HRESULT RemoteObject::EnumConnections(IEnumConnections** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;  // the sinks of a connection point stay with the host
}

HRESULT RemoteObject::InterfaceSupportsErrorInfo(REFIID riid) {
    if (auto it = errorSupport_.find(riid); it != errorSupport_.end()) return it->second ? S_OK : S_FALSE;
    auto request = cap_.supportsErrorInfoRequest();
    request.setIid(guidBytes(riid));
    const HRESULT hr = call(request, [](auto& r) { return HRESULT(r.getHr()); });
    if (hr == S_OK || hr == S_FALSE) errorSupport_[riid] = hr == S_OK;
    return hr;
}

}  // namespace farlink
