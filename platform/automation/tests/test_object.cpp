#include "test_object.h"

#include <string>

using namespace oleaut;

ServerModule& TestObj::module() {
    static ServerModule m;
    return m;
}

const InterfaceDesc& TestObj::dispatchTable() {
    static const InterfaceDesc table = [] {
        InterfaceDesc d{u"ITestObj", ITestObj::iid, u"A test object", {}, {}};
        d.typeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
        d.members = {
            method<&ITestObj::Add>(u"Add", {u"a", u"b", u"sum"}),
            propget<&ITestObj::get_Name>(u"Name"),
            propput<&ITestObj::put_Name>(u"Name"),
            method<&ITestObj::Split>(u"Split", {u"value", u"high", u"low"}),
            method<&ITestObj::Check>(u"Check", {u"value", u"bResults"}),
            method<&ITestObj::Fail>(u"Fail", {u"text"}),
            itemMember<&ITestObj::get_Item>(),
            newEnumMember<&ITestObj::get__NewEnum>(),
            hiddenMethod<&ITestObj::_SetFlag>(u"_SetFlag", {u"flag", u"code"}),
            method<&ITestObj::Ping>(u"Ping", {u"n"}),
        };
        d.members[0].doc = u"Adds two numbers";
        d.assignDispids();
        return d;
    }();
    return table;
}

const InterfaceDesc& TestObj::eventTable() {
    static const InterfaceDesc table = [] {
        InterfaceDesc d{u"_ITestEvents", ITestEvents::iid, u"Test events", {}, {}};
        d.typeFlags = TYPEFLAG_FDISPATCHABLE;
        d.members = {eventMember(u"Pinged", {{u"n", VT_I4, PARAMFLAG_FIN}}, DISPID_Pinged)};
        return d;
    }();
    return table;
}

const TypeLibDesc& TestObj::libraryDesc() {
    static const TypeLibDesc desc = [] {
        TypeLibDesc d;
        d.name = u"OleautTestLib";
        d.libid = LIBID_TestLib;
        d.majorVersion = 1;
        d.minorVersion = 2;
        d.lcid = 0;
        d.doc = u"Automation runtime test library";
        d.interfaces = {&dispatchTable(), &eventTable()};
        d.coclasses = {{u"TestObj", CLSID_TestObj, u"Test object", &dispatchTable(), &eventTable()}};
        d.enums = {{u"_TestColour", GUID_TestColour, u"TestColour", {{u"Red", 1}, {u"Green", 2}, {u"Blue", 48}}}};
        d.records = {{u"TEST_PAIR", GUID_TestPair, 4, {{u"first", VT_I2, 0}, {u"second", VT_I2, 2}}}};
        return d;
    }();
    return desc;
}

ITypeLib* TestObj::typeLib() {
    static ComPtr<ITypeLib> lib = [] {
        ComPtr<ITypeLib> l;
        CreateTypeLibFromDesc(libraryDesc(), l.put());
        return l;
    }();
    return lib.get();
}

HRESULT TestObj::Add(LONG a, LONG b, LONG* sum) {
    *sum = a + b;
    return S_OK;
}

HRESULT TestObj::get_Name(BSTR* pVal) {
    *pVal = SysAllocStringLen(name_.data(), UINT(name_.size()));
    return S_OK;
}

HRESULT TestObj::put_Name(BSTR newVal) {
    name_.assign(newVal ? newVal : u"", SysStringLen(newVal));
    return S_OK;
}

HRESULT TestObj::Split(LONG value, SHORT* high, SHORT* low) {
    *high = SHORT(std::uint32_t(value) >> 16);
    *low = SHORT(value & 0xFFFF);
    return S_OK;
}

HRESULT TestObj::Check(LONG value, LONG* bResults) {
    *bResults = value >= 0 ? 1 : 0;
    return value >= 0 ? S_OK : S_FALSE;
}

HRESULT TestObj::Fail(BSTR text) {
    if (SysStringLen(text) == 0) return E_FAIL;
    return error(E_FAIL, std::u16string(u"ITestObj : ") + (text ? text : u""));
}

HRESULT TestObj::get_Item(VARIANT index, VARIANT* pVal) {
    if (index.vt != VT_I4 && index.vt != VT_I2) return error(E_INVALIDARG, u"ITestObj : Argument type unknown");
    const LONG i = index.vt == VT_I4 ? index.lVal : index.iVal;
    pVal->vt = VT_I4;
    pVal->lVal = i * 10;
    return S_OK;
}

HRESULT TestObj::get__NewEnum(IUnknown** pVal) {
    std::vector<VARIANT> items(3);
    for (LONG i = 0; i < 3; ++i) {
        VariantInit(&items[i]);
        items[i].vt = VT_I4;
        items[i].lVal = i + 1;
    }
    IEnumVARIANT* e = nullptr;
    const HRESULT hr = CreateEnumVARIANT(items, &e);
    *pVal = e;
    return hr;
}

HRESULT TestObj::_SetFlag(SHORT f, BYTE c) {
    flag = f;
    code = c;
    return S_OK;
}

HRESULT TestObj::Ping(LONG n) {
    for (const ComPtr<IDispatch>& sink : events().dispatchSinks()) {
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_I4;
        arg.lVal = n;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        sink->Invoke(DISPID_Pinged, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    return S_OK;
}
