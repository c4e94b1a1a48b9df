// FarLink.clsAdapters: the class a remote client creates on a host to reach that host's adapters.
// Its first method returns a new Adapters collection of the component, made in the caller's
// apartment. When the client releases a collection it handed out (for a remote client: drops its
// capability), or the apartment ends (its connection closes), every adapter still open in it has
// its test mode stopped and is closed, so a client that went away leaves no adapter transmitting.
#include <atomic>
#include <cstdio>
#include <iostream>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "oleaut/com_object.h"
#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"
#include "oleaut/server_registration.h"
#include "oleaut/utf.h"

namespace farlink {

namespace {

constexpr IID IID_IFarLinkAdapters = makeGuid("9AC111E8-69AA-4A16-BBAC-98D1A884CFA1");
constexpr CLSID CLSID_clsAdapters = makeGuid("19D410BB-C68B-4451-B1A1-EFB3531A92F5");
constexpr GUID LIBID_FarLinkLib = makeGuid("7DFCC8A6-4464-4A60-ABE9-BFA7F4B84352");
constexpr char16_t kAdaptersProgId[] = u"OruDirEzo.Adapters";

const oleaut::InprocClass kRegistration{CLSID_clsAdapters, "FarLink.clsAdapters", "FarLink.clsAdapters.1",
                                        "FarLink clsAdapters Class", ""};

struct IFarLinkAdapters : IDispatch {
    static constexpr IID iid = IID_IFarLinkAdapters;
    virtual HRESULT Adapters(IDispatch** adapters) = 0;
};

oleaut::ServerModule& providerModule() {
    static oleaut::ServerModule m;
    return m;
}

// A late-bound call by member name; the result in `result` (may be null).
HRESULT callByName(IDispatch* object, const char16_t* name, WORD flags, std::vector<VARIANT> args = {},
                   VARIANT* result = nullptr) {
    std::u16string text = name;
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    if (const HRESULT hr = object->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) return hr;
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, UINT(args.size()), 0};
    return object->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

ComPtr<IDispatch> dispatchOf(VARIANT& v) {
    ComPtr<IDispatch> d;
    if (v.vt == VT_DISPATCH && v.pdispVal) d = ComPtr<IDispatch>(v.pdispVal);
    VariantClear(&v);
    return d;
}

void report(const std::string& line) { std::cerr << "FarLink.clsAdapters: " << line << std::endl; }

std::string statusText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

// Whether anything but the collection (and the caller's own reference) holds the adapter.
bool heldElsewhere(IDispatch* adapter) {
    adapter->AddRef();
    return adapter->Release() > 2;
}

// Stops the test mode of every open adapter of the collection and closes it, as a client would:
// StopTest with its out value, then Close. Every step's result is checked and the outcome logged.
// With `spareHeld`, an adapter the client still holds is left alone; the result says whether
// every adapter was dealt with.
bool closeOpenAdapters(IDispatch* collection, bool spareHeld = false) {
    VARIANT count;
    VariantInit(&count);
    if (const HRESULT hr = callByName(collection, u"Count", DISPATCH_PROPERTYGET, {}, &count); FAILED(hr) || count.vt != VT_I4) {
        report("cannot count the adapters of a released collection (" + statusText(hr) + ")");
        VariantClear(&count);
        return true;
    }
    bool all = true;
    for (LONG i = 1; i <= count.lVal; ++i) {
        VARIANT index, item, open;
        VariantInit(&index);
        VariantInit(&item);
        VariantInit(&open);
        index.vt = VT_I4;
        index.lVal = i;
        if (const HRESULT hr = callByName(collection, u"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {index}, &item);
            FAILED(hr)) {
            report("adapter " + std::to_string(i) + " of a released collection cannot be reached (" + statusText(hr) + ")");
            continue;
        }
        ComPtr<IDispatch> adapter = dispatchOf(item);
        if (!adapter) continue;
        if (spareHeld && heldElsewhere(adapter.get())) {
            all = false;
            continue;
        }
        VARIANT key;
        VariantInit(&key);
        callByName(adapter.get(), u"Enumerator", DISPATCH_PROPERTYGET, {}, &key);
        const std::string name = key.vt == VT_BSTR && key.bstrVal ? oleaut::toUtf8(key.bstrVal) : std::to_string(i);
        VariantClear(&key);
        if (const HRESULT hr = callByName(adapter.get(), u"IsOpen", DISPATCH_PROPERTYGET, {}, &open); FAILED(hr)) {
            report("adapter " + name + ": cannot tell whether it is open (" + statusText(hr) + ")");
            continue;
        }
        const bool isOpen = SUCCEEDED(VariantChangeType(&open, &open, 0, VT_I4)) && open.lVal != 0;
        VariantClear(&open);
        if (!isOpen) continue;
        std::string stopped = "test mode not stopped: no Vireo object";
        VARIANT vireoValue;
        VariantInit(&vireoValue);
        if (const HRESULT hr = callByName(adapter.get(), u"Vireo", DISPATCH_PROPERTYGET, {}, &vireoValue); FAILED(hr)) {
            stopped = "test mode not stopped: Vireo failed (" + statusText(hr) + ")";
        } else if (ComPtr<IDispatch> vireo = dispatchOf(vireoValue)) {
            // StopTest's only parameter is an out value: passed by reference, as a client passes it.
            LONG id = 0;
            VARIANT out;
            VariantInit(&out);
            out.vt = VT_BYREF | VT_I4;
            out.plVal = &id;
            VARIANT result;
            VariantInit(&result);
            const HRESULT hr = callByName(vireo.get(), u"StopTest", DISPATCH_METHOD, {out}, &result);
            VariantClear(&result);
            stopped = hr == S_OK ? "test mode stopped" : "StopTest failed (" + statusText(hr) + ")";
        }
        const HRESULT closed = callByName(adapter.get(), u"Close", DISPATCH_METHOD);
        report("adapter " + name + " was left open: " + stopped + ", " +
               (SUCCEEDED(closed) ? std::string("closed") : "close failed (" + statusText(closed) + ")"));
    }
    return all;
}

// The collections handed out in this thread's apartment. A collection the client has released
// waits in `released` while the client still holds one of its adapters; it is looked at again
// whenever another collection is released or handed out. Whatever is left when the apartment ends
// (for a remote client: its connection closed) has its open adapters stopped and closed then.
class HandedOutCollection;
struct HandedOut {
    std::set<HandedOutCollection*> live;
    std::vector<ComPtr<IDispatch>> released;
    bool hooked = false;

    // Lets go of every released collection none of whose adapters the client still holds.
    void sweep() {
        std::erase_if(released, [](const ComPtr<IDispatch>& c) { return closeOpenAdapters(c.get(), true); });
    }
};
thread_local HandedOut handedOut;

// A collection as the client holds it: every call goes to the component's collection. When the
// client releases its last reference (for a remote client: drops the capability), the open
// adapters it no longer holds have their test mode stopped and are closed, and the collection is
// released (once the client holds none of its adapters).
class HandedOutCollection final : public IDispatch, public ISupportErrorInfo, public IConnectionPointContainer {
public:
    explicit HandedOutCollection(ComPtr<IDispatch> collection) : collection_(std::move(collection)) {
        providerModule().objectCreated();
        owner_.live.insert(this);
    }
    ~HandedOutCollection() {
        owner_.live.erase(this);
        if (collection_ && !closeOpenAdapters(collection_.get(), true)) owner_.released.push_back(std::move(collection_));
        collection_ = nullptr;
        owner_.sweep();
        providerModule().objectDestroyed();
    }
    HandedOutCollection(const HandedOutCollection&) = delete;
    HandedOutCollection& operator=(const HandedOutCollection&) = delete;

    // The apartment ends: stops and closes every open adapter and releases the collection.
    void letGo() {
        if (collection_) closeOpenAdapters(collection_.get());
        collection_ = nullptr;
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IUnknown::iid || riid == IDispatch::iid) *ppv = static_cast<IDispatch*>(this);
        else if (riid == ISupportErrorInfo::iid) *ppv = static_cast<ISupportErrorInfo*>(this);
        else if (riid == IConnectionPointContainer::iid && container()) *ppv = static_cast<IConnectionPointContainer*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ULONG(refs_.fetch_add(1) + 1); }
    ULONG Release() override {
        const long left = refs_.fetch_sub(1) - 1;
        if (left == 0) delete this;
        return ULONG(left);
    }

    HRESULT GetTypeInfoCount(UINT* count) override {
        return collection_ ? collection_->GetTypeInfoCount(count) : RPC_E_DISCONNECTED;
    }
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return collection_ ? collection_->GetTypeInfo(index, lcid, info) : RPC_E_DISCONNECTED;
    }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return collection_ ? collection_->GetIDsOfNames(riid, names, count, lcid, ids) : RPC_E_DISCONNECTED;
    }
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, UINT* argErr) override {
        if (!collection_) return RPC_E_DISCONNECTED;
        return collection_->Invoke(id, riid, lcid, flags, params, result, excep, argErr);
    }
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
        auto support = collection_ ? collection_.as<ISupportErrorInfo>() : ComPtr<ISupportErrorInfo>();
        return support ? support->InterfaceSupportsErrorInfo(riid) : S_FALSE;
    }
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override {
        auto c = container();
        return c ? c->EnumConnectionPoints(points) : RPC_E_DISCONNECTED;
    }
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        auto c = container();
        return c ? c->FindConnectionPoint(riid, point) : RPC_E_DISCONNECTED;
    }

private:
    ComPtr<IConnectionPointContainer> container() const {
        return collection_ ? collection_.as<IConnectionPointContainer>() : ComPtr<IConnectionPointContainer>();
    }

    std::atomic<long> refs_{0};
    HandedOut& owner_ = handedOut;
    ComPtr<IDispatch> collection_;
};

// The collection to hand out for `collection`, made in the calling thread's apartment.
HRESULT handOut(ComPtr<IDispatch> collection, IDispatch** out) {
    if (!handedOut.hooked) {
        handedOut.hooked = true;
        providerModule().lock();  // the library stays loaded until the work is done
        oleaut::atApartmentExit([] {
            const std::vector<HandedOutCollection*> held(handedOut.live.begin(), handedOut.live.end());
            for (auto* c : held) c->letGo();
            std::vector<ComPtr<IDispatch>> released = std::move(handedOut.released);
            for (auto& c : released) closeOpenAdapters(c.get());
            handedOut.hooked = false;
            providerModule().unlock();
        });
    }
    handedOut.sweep();
    auto* made = new (std::nothrow) HandedOutCollection(std::move(collection));
    if (!made) return E_OUTOFMEMORY;
    made->AddRef();
    *out = made;
    return S_OK;
}

const oleaut::InterfaceDesc& providerInterface();
ITypeLib* providerTypeLib();

class ClsAdapters final : public oleaut::DispatchObject<ClsAdapters, IFarLinkAdapters> {
public:
    static oleaut::ServerModule& module() { return providerModule(); }
    static ITypeLib* typeLib() { return providerTypeLib(); }
    static std::u16string_view errorSource() { return u"FarLink.clsAdapters.1"; }
    static const oleaut::InterfaceDesc& dispatchTable() { return providerInterface(); }

    HRESULT Adapters(IDispatch** adapters) override {
        if (!adapters) return E_POINTER;
        *adapters = nullptr;
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(kAdaptersProgId, &clsid);
        ComPtr<IDispatch> collection;
        if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, collection.putVoid());
        if (FAILED(hr))
            return error(hr, u"IFarLinkAdapters : the adapter control component is not registered on this host");
        return handOut(std::move(collection), adapters);
    }
};

const oleaut::InterfaceDesc& providerInterface() {
    static const oleaut::InterfaceDesc table = [] {
        oleaut::InterfaceDesc d{u"IFarLinkAdapters", IID_IFarLinkAdapters, u"The adapters of the host", {}, {}};
        d.members = {oleaut::method<&IFarLinkAdapters::Adapters>(u"Adapters", {u"adapters"})};
        d.members[0].doc = u"A new Adapters collection of this host's adapters";
        d.assignDispids();
        return d;
    }();
    return table;
}

ITypeLib* providerTypeLib() {
    static ITypeLib* lib = [] {
        static oleaut::TypeLibDesc desc;
        desc.name = u"FarLinkLib";
        desc.libid = LIBID_FarLinkLib;
        desc.majorVersion = 1;
        desc.doc = u"FarLink remote provider";
        desc.interfaces = {&providerInterface()};
        desc.coclasses = {{u"clsAdapters", CLSID_clsAdapters, u"The adapters of a host", &providerInterface(), nullptr}};
        ITypeLib* made = nullptr;
        oleaut::CreateTypeLibFromDesc(desc, &made);
        return made;
    }();
    return lib;
}

}  // namespace

}  // namespace farlink

#define PROVIDER_EXPORT extern "C" __attribute__((visibility("default")))

PROVIDER_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    using namespace farlink;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_clsAdapters) return CLASS_E_CLASSNOTAVAILABLE;
    return oleaut::createObject<oleaut::ClassFactory<ClsAdapters>>(riid, ppv);
}

PROVIDER_EXPORT HRESULT DllCanUnloadNow() { return farlink::providerModule().canUnload() ? S_OK : S_FALSE; }

PROVIDER_EXPORT HRESULT DllRegisterServer() {
    const std::string path = oleaut::modulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (path.empty()) return E_UNEXPECTED;
    return oleaut::registerInprocClass(farlink::kRegistration, path);
}

PROVIDER_EXPORT HRESULT DllUnregisterServer() {
    oleaut::unregisterInprocClass(farlink::kRegistration);
    return S_OK;
}
