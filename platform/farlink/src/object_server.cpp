#include "object_server.h"

#include <kj/common.h>

#include <algorithm>
#include <vector>

#include "oleaut/oleauto.h"
#include "peer.h"
#include "type_library_wire.h"
#include "wire_values.h"

namespace farlink {

namespace {

constexpr unsigned kMaxArguments = 64;
constexpr unsigned kMaxNames = 64;
constexpr unsigned kMaxFetch = 1024;

// The thread's error object after a call, handed over to the wire (and cleared).
void takeErrorInfo(wire::ErrorInfo::Builder out) {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return;
    out.setPresent(true);
    GUID guid{};
    info->GetGUID(&guid);
    out.setGuid(guidBytes(guid));
    BSTR text = nullptr;
    auto put = [&](auto setter) {
        setter(textBytes(std::u16string_view(text ? text : u"", SysStringLen(text))));
        SysFreeString(text);
        text = nullptr;
    };
    info->GetSource(&text);
    put([&](auto b) { out.setSource(b); });
    info->GetDescription(&text);
    put([&](auto b) { out.setDescription(b); });
    info->GetHelpFile(&text);
    put([&](auto b) { out.setHelpFile(b); });
    DWORD context = 0;
    info->GetHelpContext(&context);
    out.setHelpContext(context);
}

std::u16string_view viewOf(BSTR b) { return std::u16string_view(b ? b : u"", SysStringLen(b)); }

}  // namespace

ObjectServer::ObjectServer(std::shared_ptr<Peer> peer, std::uint64_t id, ComPtr<IUnknown> identity)
    : peer_(std::move(peer)), id_(id), identity_(std::move(identity)) {}

ObjectServer::~ObjectServer() {
    peer_->forgetExport(id_, identity_.get());
    // The capability system drops its servers inside its own callbacks; the object is released
    // in the apartment instead, where its destructor may call the peer.
    peer_->queue().postAlways([object = std::move(identity_)]() mutable { object.reset(); });
}

kj::Promise<void> ObjectServer::queryInterface(QueryInterfaceContext context) {
    return inApartment(peer_->queue(), context, [this](QueryInterfaceContext& c) {
        const auto iid = readGuid(c.getParams().getIid());
        HRESULT hr = E_INVALIDARG;
        if (iid) {
            ComPtr<IUnknown> itf;
            hr = identity_->QueryInterface(*iid, itf.putVoid());
        }
        c.getResults().setHr(hr);
    });
}

kj::Promise<void> ObjectServer::getTypeInfoCount(GetTypeInfoCountContext context) {
    return inApartment(peer_->queue(), context, [this](GetTypeInfoCountContext& c) {
        UINT count = 0;
        auto disp = as<IDispatch>();
        const HRESULT hr = disp ? disp->GetTypeInfoCount(&count) : E_NOINTERFACE;
        c.getResults().setHr(hr);
        c.getResults().setCount(count);
    });
}

kj::Promise<void> ObjectServer::getTypeInfo(GetTypeInfoContext context) {
    return inApartment(peer_->queue(), context, [this](GetTypeInfoContext& c) {
        auto params = c.getParams();
        auto results = c.getResults();
        auto disp = as<IDispatch>();
        if (!disp) return results.setHr(E_NOINTERFACE);
        ComPtr<ITypeInfo> info;
        HRESULT hr = disp->GetTypeInfo(params.getIndex(), LOCALE_USER_DEFAULT, info.put());
        if (FAILED(hr) || !info) return results.setHr(FAILED(hr) ? hr : E_FAIL);
        TYPEATTR* attr = nullptr;
        if (FAILED(hr = info->GetTypeAttr(&attr))) return results.setHr(hr);
        results.setIid(guidBytes(attr->guid));
        info->ReleaseTypeAttr(attr);
        ComPtr<ITypeLib> lib;
        UINT index = 0;
        if (FAILED(hr = info->GetContainingTypeLib(lib.put(), &index)) || !lib)
            return results.setHr(FAILED(hr) ? hr : E_FAIL);
        TLIBATTR* libAttr = nullptr;
        if (FAILED(hr = lib->GetLibAttr(&libAttr))) return results.setHr(hr);
        const GUID libid = libAttr->guid;
        lib->ReleaseTLibAttr(libAttr);
        results.setLibid(guidBytes(libid));
        const auto known = params.getKnownLibraries();
        bool isKnown = false;
        for (auto d : known) isKnown |= readGuid(d) == libid;
        if (!isKnown && FAILED(hr = describeTypeLibrary(lib.get(), results.initLibrary()))) return results.setHr(hr);
        results.setHr(S_OK);
    });
}

kj::Promise<void> ObjectServer::getIDsOfNames(GetIDsOfNamesContext context) {
    return inApartment(peer_->queue(), context, [this](GetIDsOfNamesContext& c) {
        auto names = c.getParams().getNames();
        auto results = c.getResults();
        auto disp = as<IDispatch>();
        if (!disp) return results.setHr(E_NOINTERFACE);
        if (names.size() == 0 || names.size() > kMaxNames) return results.setHr(E_INVALIDARG);
        std::vector<std::u16string> texts;
        for (auto n : names) texts.push_back(readText(n));
        std::vector<LPOLESTR> pointers;
        for (auto& t : texts) pointers.push_back(t.data());
        std::vector<DISPID> ids(texts.size(), DISPID_UNKNOWN);
        const HRESULT hr = disp->GetIDsOfNames(GUID_NULL, pointers.data(), UINT(pointers.size()),
                                               LOCALE_USER_DEFAULT, ids.data());
        results.setHr(hr);
        auto out = results.initDispids(UINT(ids.size()));
        for (UINT i = 0; i < ids.size(); ++i) out.set(i, ids[i]);
    });
}

kj::Promise<void> ObjectServer::invoke(InvokeContext context) {
    return inApartment(peer_->queue(), context, [this](InvokeContext& c) {
        auto params = c.getParams();
        auto results = c.getResults();
        auto disp = as<IDispatch>();
        if (!disp) return results.setHr(E_NOINTERFACE);
        const auto wireArgs = params.getArgs();
        const auto named = params.getNamed();
        if (wireArgs.size() > kMaxArguments || named.size() > wireArgs.size()) return results.setHr(DISP_E_BADPARAMCOUNT);
        const UINT n = wireArgs.size();
        std::vector<VARIANT> args(n), refs(n);
        for (auto& v : args) VariantInit(&v);
        for (auto& v : refs) VariantInit(&v);
        // Cleared however the call ends, a malformed argument that throws included (a by-reference
        // argument's slot only points into refs, so clearing both is safe).
        const auto clearArgs = kj::defer([&] {
            for (UINT i = 0; i < n; ++i) {
                VariantClear(&args[i]);
                VariantClear(&refs[i]);
            }
        });
        for (UINT i = 0; i < n; ++i) {
            const auto a = wireArgs[i];
            VARIANT* into = a.getByRef() ? &refs[i] : &args[i];
            HRESULT hr = S_OK;
            if (a.getByRef() && a.getVt() == VT_VARIANT && a.isVariant()) hr = peer_->fromWire(a.getVariant(), into);
            else hr = peer_->fromWire(a, into);
            if (FAILED(hr)) {
                results.setArgErr(i);
                return results.setHr(hr);
            }
            if (a.getByRef()) {
                const bool viaVariant = a.getVt() == VT_VARIANT;
                args[i].vt = VARTYPE(VT_BYREF | (viaVariant ? VARTYPE(VT_VARIANT) : refs[i].vt));
                args[i].byref = viaVariant ? static_cast<void*>(&refs[i]) : static_cast<void*>(&refs[i].llVal);
            }
        }
        std::vector<DISPID> namedIds;
        for (DISPID id : named) namedIds.push_back(id);
        DISPPARAMS dp{n ? args.data() : nullptr, namedIds.empty() ? nullptr : namedIds.data(), n, UINT(namedIds.size())};
        VARIANT result;
        VariantInit(&result);
        const auto clearResult = kj::defer([&] { VariantClear(&result); });
        EXCEPINFO excep{};
        const auto clearException = kj::defer([&] {
            SysFreeString(excep.bstrSource);
            SysFreeString(excep.bstrDescription);
            SysFreeString(excep.bstrHelpFile);
        });
        UINT argErr = 0;
        SetErrorInfo(0, nullptr);
        const HRESULT hr = disp->Invoke(params.getDispid(), GUID_NULL, params.getLcid(), params.getFlags(), &dp,
                                        params.getWantResult() ? &result : nullptr,
                                        params.getWantException() ? &excep : nullptr, &argErr);
        results.setHr(hr);
        results.setArgErr(argErr);
        takeErrorInfo(results.initError());
        if (params.getWantResult()) peer_->toWire(result, results.initResult());
        auto byRef = results.initByRef(n);
        for (UINT i = 0; i < n; ++i) {
            if (!wireArgs[i].getByRef()) continue;
            auto out = byRef[i];
            out.setByRef(true);
            if (args[i].vt == VARTYPE(VT_BYREF | VT_VARIANT)) {
                out.setVt(VT_VARIANT);
                peer_->toWire(refs[i], out.initVariant());
            } else {
                peer_->toWire(refs[i], out);
                out.setByRef(true);
            }
        }
        if (params.getWantException() && hr == DISP_E_EXCEPTION) {
            auto e = results.initException();
            e.setPresent(true);
            e.setCode(excep.wCode);
            e.setSource(textBytes(viewOf(excep.bstrSource)));
            e.setDescription(textBytes(viewOf(excep.bstrDescription)));
            e.setHelpFile(textBytes(viewOf(excep.bstrHelpFile)));
            e.setHelpContext(excep.dwHelpContext);
            e.setScode(excep.scode);
        }
    });
}

kj::Promise<void> ObjectServer::supportsErrorInfo(SupportsErrorInfoContext context) {
    return inApartment(peer_->queue(), context, [this](SupportsErrorInfoContext& c) {
        const auto iid = readGuid(c.getParams().getIid());
        auto support = as<ISupportErrorInfo>();
        c.getResults().setHr(!iid ? E_INVALIDARG : support ? support->InterfaceSupportsErrorInfo(*iid) : E_NOINTERFACE);
    });
}

kj::Promise<void> ObjectServer::next(NextContext context) {
    return inApartment(peer_->queue(), context, [this](NextContext& c) {
        auto results = c.getResults();
        auto e = as<IEnumVARIANT>();
        if (!e) return results.setHr(E_NOINTERFACE);
        const ULONG want = std::min<ULONG>(c.getParams().getCount(), kMaxFetch);
        std::vector<VARIANT> items(want);
        for (auto& v : items) VariantInit(&v);
        ULONG fetched = 0;
        const HRESULT hr = want ? e->Next(want, items.data(), &fetched) : S_OK;
        fetched = std::min(fetched, want);
        results.setHr(hr);
        auto out = results.initItems(fetched);
        for (ULONG i = 0; i < fetched; ++i) peer_->toWire(items[i], out[i]);
        for (auto& v : items) VariantClear(&v);
    });
}

kj::Promise<void> ObjectServer::skip(SkipContext context) {
    return inApartment(peer_->queue(), context, [this](SkipContext& c) {
        auto e = as<IEnumVARIANT>();
        c.getResults().setHr(e ? e->Skip(c.getParams().getCount()) : E_NOINTERFACE);
    });
}

kj::Promise<void> ObjectServer::reset(ResetContext context) {
    return inApartment(peer_->queue(), context, [this](ResetContext& c) {
        auto e = as<IEnumVARIANT>();
        c.getResults().setHr(e ? e->Reset() : E_NOINTERFACE);
    });
}

kj::Promise<void> ObjectServer::clone(CloneContext context) {
    return inApartment(peer_->queue(), context, [this](CloneContext& c) {
        auto e = as<IEnumVARIANT>();
        ComPtr<IEnumVARIANT> copy;
        const HRESULT hr = e ? e->Clone(copy.put()) : E_NOINTERFACE;
        c.getResults().setHr(hr);
        if (SUCCEEDED(hr)) peer_->exportObject(copy.get(), c.getResults().initObject());
    });
}

kj::Promise<void> ObjectServer::findConnectionPoint(FindConnectionPointContext context) {
    return inApartment(peer_->queue(), context, [this](FindConnectionPointContext& c) {
        const auto iid = readGuid(c.getParams().getIid());
        auto container = as<IConnectionPointContainer>();
        ComPtr<IConnectionPoint> point;
        const HRESULT hr = !iid ? E_INVALIDARG : container ? container->FindConnectionPoint(*iid, point.put()) : E_NOINTERFACE;
        c.getResults().setHr(hr);
        if (SUCCEEDED(hr)) peer_->exportObject(point.get(), c.getResults().initPoint());
    });
}

kj::Promise<void> ObjectServer::enumConnectionPoints(EnumConnectionPointsContext context) {
    return inApartment(peer_->queue(), context, [this](EnumConnectionPointsContext& c) {
        auto results = c.getResults();
        auto container = as<IConnectionPointContainer>();
        if (!container) return results.setHr(E_NOINTERFACE);
        ComPtr<IEnumConnectionPoints> points;
        const HRESULT hr = container->EnumConnectionPoints(points.put());
        results.setHr(hr);
        if (FAILED(hr) || !points) return;
        std::vector<ComPtr<IConnectionPoint>> found;
        for (IConnectionPoint* p = nullptr; found.size() < kMaxFetch;) {
            ULONG got = 0;
            if (points->Next(1, &p, &got) != S_OK || got != 1 || !p) break;
            found.push_back(ComPtr<IConnectionPoint>::attach(p));
        }
        auto out = results.initPoints(UINT(found.size()));
        for (UINT i = 0; i < found.size(); ++i) peer_->exportObject(found[i].get(), out[i]);
    });
}

kj::Promise<void> ObjectServer::getConnectionInterface(GetConnectionInterfaceContext context) {
    return inApartment(peer_->queue(), context, [this](GetConnectionInterfaceContext& c) {
        auto point = as<IConnectionPoint>();
        IID iid{};
        const HRESULT hr = point ? point->GetConnectionInterface(&iid) : E_NOINTERFACE;
        c.getResults().setHr(hr);
        c.getResults().setIid(guidBytes(iid));
    });
}

kj::Promise<void> ObjectServer::advise(AdviseContext context) {
    return inApartment(peer_->queue(), context, [this](AdviseContext& c) {
        auto point = as<IConnectionPoint>();
        ComPtr<IUnknown> sink = peer_->importObject(c.getParams().getSink());
        DWORD cookie = 0;
        const HRESULT hr = point ? point->Advise(sink.get(), &cookie) : E_NOINTERFACE;
        c.getResults().setHr(hr);
        c.getResults().setCookie(cookie);
    });
}

kj::Promise<void> ObjectServer::unadvise(UnadviseContext context) {
    return inApartment(peer_->queue(), context, [this](UnadviseContext& c) {
        auto point = as<IConnectionPoint>();
        c.getResults().setHr(point ? point->Unadvise(c.getParams().getCookie()) : E_NOINTERFACE);
    });
}

}  // namespace farlink
