// A small in-process automation server for the scripting host's tests:
//   OruTest.Object      an object with members of every parameter kind and events
//   OruTest.Collection  a collection of three objects (alpha, beta, gamma)
//   OruTest.Untyped     the same object without type information
#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

#include "oleaut/com_object.h"
#include "oleaut/objbase.h"
#include "registry/winreg.h"
#include "test_interfaces.h"

using namespace oleaut;

namespace {

constexpr CLSID CLSID_TestObject = makeGuid("6D1E7A10-3C52-4B8E-9A41-0F2B5C7D8E11");
constexpr CLSID CLSID_TestCollection = makeGuid("6D1E7A10-3C52-4B8E-9A41-0F2B5C7D8E12");
constexpr CLSID CLSID_Untyped = makeGuid("6D1E7A10-3C52-4B8E-9A41-0F2B5C7D8E13");
constexpr GUID LIBID_Test = makeGuid("6D1E7A10-3C52-4B8E-9A41-0F2B5C7D8E10");

ServerModule& serverModule() {
    static ServerModule m;
    return m;
}

const InterfaceDesc& objectTable() {
    static const InterfaceDesc d = [] {
        InterfaceDesc i;
        i.name = u"ITestObject";
        i.iid = ITestObject::iid;
        i.doc = u"Test object";
        i.members = {
            propget<&ITestObject::get_Name>(u"Name"),
            propput<&ITestObject::put_Name>(u"Name"),
            propget<&ITestObject::get_Number>(u"Number"),
            propput<&ITestObject::put_Number>(u"Number"),
            propget<&ITestObject::get_Flag>(u"Flag"),
            propput<&ITestObject::put_Flag>(u"Flag"),
            propget<&ITestObject::get_Serial>(u"Serial"),
            method<&ITestObject::Echo>(u"Echo", {u"value", u"result"}),
            method<&ITestObject::TypeOf>(u"TypeOf", {u"value", u"vt"}),
            method<&ITestObject::Divide>(u"Divide", {u"dividend", u"divisor", u"quotient", u"remainder"}),
            method<&ITestObject::Interleave>(u"Interleave", {u"number", u"twice", u"text", u"upper"}),
            method<&ITestObject::Status>(u"Status", {u"status"}),
            method<&ITestObject::Fail>(u"Fail", {u"status", u"description"}),
            method<&ITestObject::Child>(u"Child", {u"name", u"child"}),
            method<&ITestObject::Words>(u"Words", {u"words"}),
            method<&ITestObject::Texts>(u"Texts", {u"texts"}),
            method<&ITestObject::Fire>(u"Fire", {u"blocks", u"text"}),
            propget<&ITestObject::get_Items>(u"Items"),
        };
        i.members[7].doc = u"Returns its argument.";
        i.assignDispids();
        return i;
    }();
    return d;
}

const InterfaceDesc& eventsTable() {
    static const InterfaceDesc d = [] {
        InterfaceDesc i;
        i.name = u"_ITestEvents";
        i.iid = _ITestEvents::iid;
        i.doc = u"Test events";
        i.typeFlags = TYPEFLAG_FDISPATCHABLE;
        i.members = {
            eventMember(u"Progress", {{u"block", VT_I4, PARAMFLAG_FIN}, {u"total", VT_I4, PARAMFLAG_FIN}}, 1),
            eventMember(u"Finished", {{u"text", VT_BSTR, PARAMFLAG_FIN}}, 2),
        };
        return i;
    }();
    return d;
}

const InterfaceDesc& collectionTable() {
    static const InterfaceDesc d = [] {
        InterfaceDesc i;
        i.name = u"ITestCollection";
        i.iid = ITestCollection::iid;
        i.doc = u"Test collection";
        i.members = {
            propget<&ITestCollection::get_Count>(u"Count"),
            itemMember<&ITestCollection::get_Item>(),
            newEnumMember<&ITestCollection::get__NewEnum>(),
        };
        i.assignDispids();
        return i;
    }();
    return d;
}

ITypeLib* testTypeLib() {
    static ITypeLib* lib = [] {
        TypeLibDesc d;
        d.name = u"OruTestLib";
        d.libid = LIBID_Test;
        d.doc = u"Scripting host test library";
        d.interfaces = {&objectTable(), &eventsTable(), &collectionTable()};
        d.coclasses = {
            {u"Object", CLSID_TestObject, u"Test object", &objectTable(), &eventsTable()},
            {u"Collection", CLSID_TestCollection, u"Test collection", &collectionTable(), nullptr},
        };
        ITypeLib* out = nullptr;
        CreateTypeLibFromDesc(d, &out);
        return out;
    }();
    return lib;
}

std::u16string text(BSTR s) { return s ? std::u16string(s, SysStringLen(s)) : std::u16string(); }

template <class Derived>
class TestObjectBase : public DispatchObjectWithEvents<Derived, ITestObject, _ITestEvents> {
public:
    static ServerModule& module() { return serverModule(); }
    static ITypeLib* typeLib() { return testTypeLib(); }
    static const InterfaceDesc& dispatchTable() { return objectTable(); }
    static std::u16string_view errorSource() { return u"OruTest.Object.1"; }

    HRESULT get_Name(BSTR* v) override { return (*v = SysAllocStringLen(name_.data(), UINT(name_.size()))) ? S_OK : E_OUTOFMEMORY; }
    HRESULT put_Name(BSTR v) override {
        name_ = text(v);
        return S_OK;
    }
    HRESULT get_Number(LONG* v) override {
        *v = number_;
        return S_OK;
    }
    HRESULT put_Number(LONG v) override {
        number_ = v;
        return S_OK;
    }
    HRESULT get_Flag(VARIANT* v) override {
        v->vt = VT_BOOL;
        v->boolVal = flag_;
        return S_OK;
    }
    HRESULT put_Flag(VARIANT v) override {
        VARIANT b;
        VariantInit(&b);
        const HRESULT hr = VariantChangeType(&b, &v, 0, VT_BOOL);
        if (FAILED(hr)) return hr;
        flag_ = b.boolVal;
        return S_OK;
    }
    HRESULT get_Serial(BSTR* v) override { return (*v = SysAllocString(u"SN-0001")) ? S_OK : E_OUTOFMEMORY; }
    HRESULT Echo(VARIANT value, VARIANT* result) override { return VariantCopy(result, &value); }
    HRESULT TypeOf(VARIANT value, LONG* vt) override {
        *vt = value.vt;
        return S_OK;
    }
    HRESULT Divide(LONG a, LONG b, LONG* q, LONG* r) override {
        if (b == 0) return this->error(E_INVALIDARG, u"ITestObject : Division by zero");
        *q = a / b;
        *r = a % b;
        return S_OK;
    }
    HRESULT Interleave(LONG number, LONG* twice, BSTR t, BSTR* upper) override {
        *twice = number * 2;
        std::u16string s = text(t);
        for (auto& c : s)
            if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
        *upper = SysAllocStringLen(s.data(), UINT(s.size()));
        return S_OK;
    }
    HRESULT Status(LONG status) override { return status; }
    HRESULT Fail(LONG status, BSTR description) override { return this->error(status, text(description)); }
    HRESULT Child(BSTR name, ITestObject** child) override;
    HRESULT Words(VARIANT* words) override {
        SAFEARRAY* sa = SafeArrayCreateVector(VT_I2, 0, 3);
        SHORT* p = nullptr;
        SafeArrayAccessData(sa, reinterpret_cast<void**>(&p));
        p[0] = 1, p[1] = -2, p[2] = 300;
        SafeArrayUnaccessData(sa);
        words->vt = VT_ARRAY | VT_I2;
        words->parray = sa;
        return S_OK;
    }
    HRESULT Texts(VARIANT* texts) override {
        SAFEARRAY* sa = SafeArrayCreateVector(VT_BSTR, 0, 2);
        BSTR* p = nullptr;
        SafeArrayAccessData(sa, reinterpret_cast<void**>(&p));
        p[0] = SysAllocString(u"a");
        p[1] = SysAllocString(u"b");
        SafeArrayUnaccessData(sa);
        texts->vt = VT_ARRAY | VT_BSTR;
        texts->parray = sa;
        return S_OK;
    }
    HRESULT Fire(LONG blocks, BSTR t) override {
        for (LONG i = 1; i <= blocks; ++i) {
            VARIANT args[2];  // reverse order: total, block
            args[0].vt = VT_I4, args[0].lVal = blocks;
            args[1].vt = VT_I4, args[1].lVal = i;
            notify(1, args, 2);
        }
        VARIANT arg;
        arg.vt = VT_BSTR;
        arg.bstrVal = t;
        notify(2, &arg, 1);
        return S_OK;
    }
    HRESULT get_Items(IDispatch** items) override;

private:
    void notify(DISPID id, VARIANT* args, UINT count) {
        DISPPARAMS dp{args, nullptr, count, 0};
        for (const auto& sink : this->events().dispatchSinks())
            sink->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
    }

    std::u16string name_;
    LONG number_ = 0;
    VARIANT_BOOL flag_ = VARIANT_FALSE;
};

class TestObject final : public TestObjectBase<TestObject> {};

// The same object, but it does not describe itself: clients find members by name only.
class UntypedObject final : public TestObjectBase<UntypedObject> {
public:
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
};

template <class Derived>
HRESULT TestObjectBase<Derived>::Child(BSTR name, ITestObject** child) {
    ITestObject* obj = nullptr;
    HRESULT hr = createObject<TestObject>(ITestObject::iid, reinterpret_cast<void**>(&obj));
    if (FAILED(hr)) return hr;
    obj->put_Name(name);
    *child = obj;
    return S_OK;
}

class TestCollection final : public DispatchObject<TestCollection, ITestCollection> {
public:
    static ServerModule& module() { return serverModule(); }
    static ITypeLib* typeLib() { return testTypeLib(); }
    static const InterfaceDesc& dispatchTable() { return collectionTable(); }
    static std::u16string_view errorSource() { return u"OruTest.Collection.1"; }

    TestCollection() {
        for (const char16_t* name : {u"alpha", u"beta", u"gamma"}) {
            ITestObject* obj = nullptr;
            if (SUCCEEDED(createObject<TestObject>(ITestObject::iid, reinterpret_cast<void**>(&obj)))) {
                BSTR n = SysAllocString(name);
                obj->put_Name(n);
                SysFreeString(n);
                items_.push_back(ComPtr<ITestObject>::attach(obj));
                keys_.push_back(name);
            }
        }
    }
    HRESULT get_Count(LONG* count) override {
        *count = LONG(items_.size());
        return S_OK;
    }
    HRESULT get_Item(VARIANT index, IDispatch** item) override {
        if (index.vt == VT_I4 || index.vt == VT_I2) {
            const LONG i = index.vt == VT_I4 ? index.lVal : index.iVal;
            if (i < 1 || i > LONG(items_.size())) {
                const std::string t = "ITestCollection : Index " + std::to_string(i) + " not found or is an invalid index";
                return error(E_INVALIDARG, std::u16string(t.begin(), t.end()));
            }
            return hand(items_[std::size_t(i - 1)], item);
        }
        if (index.vt == VT_BSTR) {
            for (std::size_t i = 0; i < keys_.size(); ++i)
                if (keys_[i] == text(index.bstrVal)) return hand(items_[i], item);
            return error(E_INVALIDARG, u"ITestCollection : Key " + text(index.bstrVal) + u" not found ");
        }
        return error(E_INVALIDARG, u"ITestCollection : Index argument type unknown");
    }
    HRESULT get__NewEnum(IUnknown** items) override {
        std::vector<VARIANT> snapshot(items_.size());
        for (std::size_t i = 0; i < items_.size(); ++i) {
            snapshot[i].vt = VT_DISPATCH;
            snapshot[i].pdispVal = items_[i].get();
        }
        IEnumVARIANT* e = nullptr;
        const HRESULT hr = CreateEnumVARIANT(snapshot, &e);  // copies, with their own references
        *items = e;
        return hr;
    }

private:
    static HRESULT hand(const ComPtr<ITestObject>& obj, IDispatch** out) {
        *out = obj.get();
        (*out)->AddRef();
        return S_OK;
    }
    std::vector<ComPtr<ITestObject>> items_;
    std::vector<std::u16string> keys_;
};

template <class Derived>
HRESULT TestObjectBase<Derived>::get_Items(IDispatch** items) {
    return createObject<TestCollection>(IDispatch::iid, reinterpret_cast<void**>(items));
}

struct ClassEntry {
    const CLSID* clsid;
    const char* progid;
    HRESULT (*factory)(REFIID, void**);
};
template <class T>
HRESULT makeFactory(REFIID riid, void** ppv) {
    auto* f = new ClassFactory<T>();
    f->AddRef();
    const HRESULT hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
}
const ClassEntry classes[] = {
    {&CLSID_TestObject, "OruTest.Object", &makeFactory<TestObject>},
    {&CLSID_TestCollection, "OruTest.Collection", &makeFactory<TestCollection>},
    {&CLSID_Untyped, "OruTest.Untyped", &makeFactory<UntypedObject>},
};

std::string guidText(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

LSTATUS setDefault(const std::string& path, const std::string& value) {
    HKEY key = nullptr;
    LSTATUS s = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                nullptr, &key, nullptr);
    if (s != ERROR_SUCCESS) return s;
    s = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    RegCloseKey(key);
    return s;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const auto& c : classes)
        if (*c.clsid == clsid) return c.factory(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return serverModule().canUnload() ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) || !info.dli_fname) return E_UNEXPECTED;
    for (const auto& c : classes) {
        const std::string clsid = guidText(*c.clsid);
        if (setDefault(std::string(c.progid) + "\\CLSID", clsid) != ERROR_SUCCESS ||
            setDefault("CLSID\\" + clsid + "\\InprocServer32", info.dli_fname) != ERROR_SUCCESS)
            return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    for (const auto& c : classes) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, c.progid);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + guidText(*c.clsid)).c_str());
    }
    return S_OK;
}
