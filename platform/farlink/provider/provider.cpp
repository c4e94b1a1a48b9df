// FarLink.clsAdapters: the class a remote client creates on a host to reach that host's adapters.
// Its first method returns a new Adapters collection of the component, made in the caller's
// apartment. When the client releases a collection it handed out, or the apartment ends (for a
// remote client: its connection closes), every adapter still open in it has its test mode stopped
// and is closed, so a client that went away leaves no adapter transmitting.
#include <cstdio>
#include <iostream>
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

// Stops the test mode of every open adapter of the collection and closes it, as a client would:
// StopTest with its out value, then Close. Every step's result is checked and the outcome logged.
void closeOpenAdapters(IDispatch* collection) {
    VARIANT count;
    VariantInit(&count);
    if (const HRESULT hr = callByName(collection, u"Count", DISPATCH_PROPERTYGET, {}, &count); FAILED(hr) || count.vt != VT_I4) {
        report("cannot count the adapters of a released collection (" + statusText(hr) + ")");
        VariantClear(&count);
        return;
    }
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
}

// The collections handed out in this thread's apartment. One the client has released (only this
// list holds it) has its open adapters stopped and closed and is let go at the next Adapters()
// call; the rest when the apartment ends.
struct KeptCollections {
    std::vector<ComPtr<IDispatch>> collections;
    bool hooked = false;
};
thread_local KeptCollections kept;

bool onlyKeptHere(IDispatch* collection) {
    collection->AddRef();
    return collection->Release() == 1;
}

void letGoOfReleased() {
    auto& list = kept.collections;
    for (auto it = list.begin(); it != list.end();) {
        if (onlyKeptHere(it->get())) {
            closeOpenAdapters(it->get());
            it = list.erase(it);
        } else {
            ++it;
        }
    }
}

void keep(ComPtr<IDispatch> collection) {
    if (!kept.hooked) {
        kept.hooked = true;
        providerModule().lock();  // the library stays loaded until the work is done
        oleaut::atApartmentExit([] {
            std::vector<ComPtr<IDispatch>> collections = std::move(kept.collections);
            for (auto& c : collections) closeOpenAdapters(c.get());
            collections.clear();
            kept.hooked = false;
            providerModule().unlock();
        });
    }
    letGoOfReleased();
    kept.collections.push_back(std::move(collection));
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
        keep(collection);
        *adapters = collection.detach();
        return S_OK;
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
