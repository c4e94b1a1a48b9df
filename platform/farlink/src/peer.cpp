#include "peer.h"

#include <cstring>
#include <memory>

#include "object_server.h"
#include "oleaut/oleauto.h"
#include "remote_object.h"
#include "wire_values.h"

namespace farlink {

namespace {

// Byte size of one element of a scalar VARTYPE; 0 when it is not one the wire carries as a number.
std::size_t scalarSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4: return 4;
    case VT_I8: case VT_UI8: case VT_CY: case VT_R8: case VT_DATE: return 8;
    default: return 0;
    }
}
bool isReal(VARTYPE vt) { return vt == VT_R4 || vt == VT_R8 || vt == VT_DATE; }
bool isSigned(VARTYPE vt) { return vt == VT_I1 || vt == VT_I2 || vt == VT_BOOL || vt == VT_I4 || vt == VT_INT || vt == VT_ERROR || vt == VT_I8 || vt == VT_CY; }

std::int64_t readInteger(const void* p, VARTYPE vt) {
    std::uint64_t raw = 0;
    const std::size_t n = scalarSize(vt);
    std::memcpy(&raw, p, n);
    if (isSigned(vt) && n < 8 && (raw >> (8 * n - 1)) & 1) raw |= ~std::uint64_t(0) << (8 * n);
    return std::int64_t(raw);
}
void writeInteger(void* p, VARTYPE vt, std::int64_t value) { std::memcpy(p, &value, scalarSize(vt)); }
double readReal(const void* p, VARTYPE vt) {
    if (vt == VT_R4) {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    double d;
    std::memcpy(&d, p, 8);
    return d;
}
void writeReal(void* p, VARTYPE vt, double value) {
    if (vt == VT_R4) {
        const float f = float(value);
        std::memcpy(p, &f, 4);
    } else {
        std::memcpy(p, &value, 8);
    }
}

std::u16string_view viewOf(BSTR b) { return std::u16string_view(b ? b : u"", SysStringLen(b)); }

struct ArrayAccess {
    SAFEARRAY* array;
    void* data = nullptr;
    HRESULT hr;
    explicit ArrayAccess(SAFEARRAY* a) : array(a), hr(SafeArrayAccessData(a, &data)) {}
    ~ArrayAccess() {
        if (SUCCEEDED(hr)) SafeArrayUnaccessData(array);
    }
};

struct ArrayDestroyer {
    void operator()(SAFEARRAY* array) const { SafeArrayDestroy(array); }
};

}  // namespace

Peer::Peer(CallQueue& queue, Limits limits) : queue_(queue), limits_(limits), owner_(std::this_thread::get_id()) {}

Peer::~Peer() = default;

void Peer::exportObject(IUnknown* object, wire::ObjectRef::Builder out) {
    if (!object) return;
    ComPtr<IUnknown> proxyItf;
    if (SUCCEEDED(object->QueryInterface(RemoteObject::kProxyIid, proxyItf.putVoid())) && proxyItf) {
        auto* proxy = static_cast<RemoteObject*>(static_cast<IDispatch*>(static_cast<void*>(proxyItf.get())));
        if (proxy->peer() == this) {  // the other end's own object goes home
            out.setId(proxy->id());
            out.setHome(true);
            out.setCap(proxy->cap());
            return;
        }
    }
    ComPtr<IUnknown> identity;
    if (FAILED(object->QueryInterface(IID_IUnknown, identity.putVoid())) || !identity) return;
    if (auto it = exportsByIdentity_.find(identity.get()); it != exportsByIdentity_.end()) {
        out.setId(it->second->id());
        out.setCap(it->second->another());
        return;
    }
    const std::uint64_t id = nextExportId_++;
    auto server = kj::heap<ObjectServer>(shared_from_this(), id, identity);
    exportsByIdentity_[identity.get()] = server.get();
    exportsById_[id] = server.get();
    out.setId(id);
    out.setCap(wire::Object::Client(kj::mv(server)));
}

ComPtr<IUnknown> Peer::importObject(wire::ObjectRef::Reader in, bool isDispatch) {
    if (!in.hasCap()) return {};
    if (in.getHome()) {
        auto it = exportsById_.find(in.getId());
        return it == exportsById_.end() ? ComPtr<IUnknown>() : ComPtr<IUnknown>(it->second->identity());
    }
    RemoteObject* proxy = nullptr;
    if (auto it = imports_.find(in.getId()); it != imports_.end()) {
        proxy = it->second;
    } else {
        proxy = new RemoteObject(shared_from_this(), in.getId(), in.getCap());
        imports_[in.getId()] = proxy;
    }
    if (isDispatch) proxy->vouch(IID_IDispatch);
    return ComPtr<IUnknown>(static_cast<IDispatch*>(proxy));
}

void Peer::forgetExport(std::uint64_t id, IUnknown* identity) {
    if (auto it = exportsById_.find(id); it != exportsById_.end() && it->second->identity() == identity) {
        exportsById_.erase(it);
        exportsByIdentity_.erase(identity);
    }
}

void Peer::forgetImport(std::uint64_t id) {
    imports_.erase(id);
    if (imports_.empty()) std::shared_ptr<void>(std::move(keepAlive_)).reset();
}

std::vector<GUID> Peer::knownTypeLibraries() const {
    std::vector<GUID> ids;
    for (const auto& [id, lib] : typeLibraries_) ids.push_back(id);
    return ids;
}

ComPtr<ITypeLib> Peer::typeLibrary(const GUID& libid) const {
    auto it = typeLibraries_.find(libid);
    return it == typeLibraries_.end() ? ComPtr<ITypeLib>() : it->second;
}

void Peer::keepTypeLibrary(const GUID& libid, ComPtr<ITypeLib> lib) { typeLibraries_[libid] = std::move(lib); }

HRESULT Peer::toWire(const VARIANT& v, wire::Variant::Builder out, unsigned depth) {
    if (depth > limits_.maxNesting) return DISP_E_BADVARTYPE;
    if (v.vt & VT_BYREF) {
        VARIANT value;
        VariantInit(&value);
        HRESULT hr = VariantCopyInd(&value, &v);
        if (SUCCEEDED(hr)) hr = toWire(value, out, depth + 1);
        VariantClear(&value);
        return hr;
    }
    const VARTYPE vt = v.vt;
    out.setVt(vt);
    if (vt & VT_ARRAY) {
        if (!v.parray) {
            out.setNone();
            return S_OK;
        }
        return arrayToWire(VARTYPE(vt & VT_TYPEMASK), v.parray, out.initArray(), depth + 1);
    }
    if (scalarSize(vt) && !isReal(vt)) {
        out.setInteger(readInteger(&v.llVal, vt));
        return S_OK;
    }
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL: out.setNone(); return S_OK;
    case VT_R4:
    case VT_R8:
    case VT_DATE: out.setReal(readReal(&v.llVal, vt)); return S_OK;
    case VT_BSTR:
        if (v.bstrVal) out.setText(textBytes(viewOf(v.bstrVal)));
        else out.setNone();
        return S_OK;
    case VT_DISPATCH:
    case VT_UNKNOWN: exportObject(v.punkVal, out.initObject()); return S_OK;
    default: return DISP_E_BADVARTYPE;
    }
}

HRESULT Peer::arrayToWire(VARTYPE element, SAFEARRAY* array, wire::SafeArray::Builder out, unsigned depth) {
    if (SafeArrayGetDim(array) != 1) return DISP_E_BADVARTYPE;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    const std::int64_t count = std::int64_t(upper) - lower + 1;
    if (count < 0 || count > std::int64_t(limits_.maxArrayElements)) return E_OUTOFMEMORY;
    const UINT n = UINT(count);
    out.setLowerBound(lower);
    ArrayAccess access(array);
    if (FAILED(access.hr)) return access.hr;
    const auto* bytes = static_cast<const unsigned char*>(access.data);
    const std::size_t size = SafeArrayGetElemsize(array);
    if (element == VT_UI1 || element == VT_I1) {
        out.setBytes(kj::arrayPtr(bytes, n));
    } else if (isReal(element)) {
        auto list = out.initReals(n);
        for (UINT i = 0; i < n; ++i) list.set(i, readReal(bytes + i * size, element));
    } else if (scalarSize(element)) {
        auto list = out.initIntegers(n);
        for (UINT i = 0; i < n; ++i) list.set(i, readInteger(bytes + i * size, element));
    } else if (element == VT_BSTR) {
        auto list = out.initTexts(n);
        auto* items = static_cast<BSTR*>(access.data);
        for (UINT i = 0; i < n; ++i) list.set(i, textBytes(viewOf(items[i])));
    } else if (element == VT_VARIANT) {
        auto list = out.initVariants(n);
        auto* items = static_cast<VARIANT*>(access.data);
        for (UINT i = 0; i < n; ++i)
            if (const HRESULT hr = toWire(items[i], list[i], depth); FAILED(hr)) return hr;
    } else if (element == VT_DISPATCH || element == VT_UNKNOWN) {
        auto list = out.initObjects(n);
        auto* items = static_cast<IUnknown**>(access.data);
        for (UINT i = 0; i < n; ++i) exportObject(items[i], list[i]);
    } else {
        return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

HRESULT Peer::fromWire(wire::Variant::Reader in, VARIANT* out, unsigned depth) {
    VariantInit(out);
    if (depth > limits_.maxNesting) return DISP_E_BADVARTYPE;
    const VARTYPE vt = in.getVt();
    if (vt & VT_ARRAY) {
        if (vt & ~(VT_ARRAY | VT_TYPEMASK)) return DISP_E_BADVARTYPE;
        SAFEARRAY* array = nullptr;
        if (in.isArray()) {
            if (const HRESULT hr = arrayFromWire(VARTYPE(vt & VT_TYPEMASK), in.getArray(), &array, depth + 1); FAILED(hr))
                return hr;
        } else if (!in.isNone()) {
            return DISP_E_BADVARTYPE;
        }
        out->vt = vt;
        out->parray = array;
        return S_OK;
    }
    if (scalarSize(vt) && !isReal(vt)) {
        if (!in.isInteger()) return DISP_E_BADVARTYPE;
        writeInteger(&out->llVal, vt, in.getInteger());
        out->vt = vt;
        return S_OK;
    }
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        out->vt = vt;
        return S_OK;
    case VT_R4:
    case VT_R8:
    case VT_DATE:
        if (!in.isReal()) return DISP_E_BADVARTYPE;
        writeReal(&out->llVal, vt, in.getReal());
        out->vt = vt;
        return S_OK;
    case VT_BSTR: {
        BSTR text = nullptr;
        if (in.isText()) {
            if (const HRESULT hr = readBstr(in.getText(), &text); FAILED(hr)) return hr;
        } else if (!in.isNone()) {
            return DISP_E_BADVARTYPE;
        }
        out->vt = VT_BSTR;
        out->bstrVal = text;
        return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        if (!in.isObject()) return DISP_E_BADVARTYPE;
        ComPtr<IUnknown> object = importObject(in.getObject(), vt == VT_DISPATCH);
        if (vt == VT_DISPATCH && object) {
            ComPtr<IDispatch> disp = object.as<IDispatch>();
            if (!disp) return DISP_E_TYPEMISMATCH;
            out->pdispVal = disp.detach();
        } else {
            out->punkVal = object.detach();
        }
        out->vt = vt;
        return S_OK;
    }
    default: return DISP_E_BADVARTYPE;
    }
}

HRESULT Peer::arrayFromWire(VARTYPE element, wire::SafeArray::Reader in, SAFEARRAY** out, unsigned depth) {
    *out = nullptr;
    UINT n = 0;
    using W = wire::SafeArray;
    const bool fits = [&] {
        switch (in.which()) {
        case W::BYTES: n = in.getBytes().size(); return element == VT_UI1 || element == VT_I1;
        case W::INTEGERS: n = in.getIntegers().size(); return scalarSize(element) && !isReal(element);
        case W::REALS: n = in.getReals().size(); return isReal(element);
        case W::TEXTS: n = in.getTexts().size(); return element == VT_BSTR;
        case W::VARIANTS: n = in.getVariants().size(); return element == VT_VARIANT;
        case W::OBJECTS: n = in.getObjects().size(); return element == VT_DISPATCH || element == VT_UNKNOWN;
        }
        return false;
    }();
    if (!fits) return DISP_E_BADVARTYPE;
    if (n > limits_.maxArrayElements) return E_OUTOFMEMORY;
    SAFEARRAY* array = SafeArrayCreateVector(element, in.getLowerBound(), n);
    if (!array) return E_OUTOFMEMORY;
    // Destroyed unless handed out, also when a malformed element throws while it is filled.
    std::unique_ptr<SAFEARRAY, ArrayDestroyer> owned(array);
    HRESULT hr = S_OK;
    {
        ArrayAccess access(array);
        if (FAILED(hr = access.hr)) return hr;
        auto* bytes = static_cast<unsigned char*>(access.data);
        const std::size_t size = SafeArrayGetElemsize(array);
        switch (in.which()) {
        case W::BYTES:
            if (n) std::memcpy(bytes, in.getBytes().begin(), n);  // an empty array has no data to copy into
            break;
        case W::INTEGERS:
            for (UINT i = 0; i < n; ++i) writeInteger(bytes + i * size, element, in.getIntegers()[i]);
            break;
        case W::REALS:
            for (UINT i = 0; i < n; ++i) writeReal(bytes + i * size, element, in.getReals()[i]);
            break;
        case W::TEXTS:
            for (UINT i = 0; i < n && SUCCEEDED(hr); ++i) hr = readBstr(in.getTexts()[i], static_cast<BSTR*>(access.data) + i);
            break;
        case W::VARIANTS:
            for (UINT i = 0; i < n && SUCCEEDED(hr); ++i)
                hr = fromWire(in.getVariants()[i], static_cast<VARIANT*>(access.data) + i, depth);
            break;
        case W::OBJECTS:
            for (UINT i = 0; i < n; ++i) {
                ComPtr<IUnknown> object = importObject(in.getObjects()[i], element == VT_DISPATCH);
                auto** slot = static_cast<IUnknown**>(access.data) + i;
                if (element == VT_DISPATCH && object) *slot = object.as<IDispatch>().detach();
                else *slot = object.detach();
            }
            break;
        }
    }
    if (FAILED(hr)) return hr;
    *out = owned.release();
    return S_OK;
}

HRESULT statusOfFailure(const kj::Exception& e) {
    const std::string_view text(e.getDescription().cStr());
    if (text.find(kRevokedReason) != std::string_view::npos) return E_ACCESSDENIED;
    if (text.find(kBusyReason) != std::string_view::npos) return RPC_S_SERVER_TOO_BUSY;
    if (e.getType() == kj::Exception::Type::DISCONNECTED) return RPC_E_DISCONNECTED;
    if (e.getDescription().endsWith("the call timed out")) return RPC_E_TIMEOUT;
    return RPC_E_SERVERFAULT;
}

}  // namespace farlink
