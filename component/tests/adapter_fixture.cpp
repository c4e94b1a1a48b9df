#include "adapter_fixture.h"

#include <algorithm>

#include "component_fixture.h"

namespace direzo::testing {

std::u16string takeErrorText() {
    const std::optional<ErrorText> error = takeError();
    return error ? error->description : std::u16string();
}

std::vector<LONG> arrayOf(const VARIANT& v, VARTYPE elementType) {
    std::vector<LONG> out;
    EXPECT_EQ(v.vt, VT_ARRAY | elementType);
    if (v.vt != (VT_ARRAY | elementType) || !v.parray) return out;
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(v.parray, 1, &lower);
    SafeArrayGetUBound(v.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    for (LONG i = lower; i <= upper; ++i) {
        LONG value = 0;
        switch (elementType) {
        case VT_UI1: { BYTE b; SafeArrayGetElement(v.parray, &i, &b); value = b; break; }
        case VT_I2: { SHORT s; SafeArrayGetElement(v.parray, &i, &s); value = s; break; }
        default: SafeArrayGetElement(v.parray, &i, &value); break;
        }
        out.push_back(value);
    }
    return out;
}

ArrayArg::ArrayArg(VARTYPE vt, const std::vector<LONG>& values) {
    VariantInit(&v);
    v.vt = VT_ARRAY | vt;
    v.parray = SafeArrayCreateVector(vt, 0, ULONG(values.size()));
    for (LONG i = 0; i < LONG(values.size()); ++i) {
        if (vt == VT_VARIANT) {
            VARIANT e;
            VariantInit(&e);
            e.vt = VT_I4;
            e.lVal = values[i];
            SafeArrayPutElement(v.parray, &i, &e);
            continue;
        }
        LONGLONG raw = values[i];  // little-endian: the low bytes come first
        SafeArrayPutElement(v.parray, &i, &raw);
    }
}

HRESULT invoke(IDispatch* object, std::u16string_view name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    std::u16string text(name);
    LPOLESTR names = text.data();
    DISPID id = 0;
    if (const HRESULT hr = object->GetIDsOfNames(IID{}, &names, 1, 0, &id); FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), nullptr, UINT(args.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    return object->Invoke(id, IID{}, 0, flags, &params, result, nullptr, nullptr);
}

void expectSlotOrder(IDispatch* object, const std::vector<const char16_t*>& names) {
    DISPID expected = 1;
    for (const char16_t* name : names) {
        LPOLESTR n = const_cast<LPOLESTR>(name);
        DISPID id = 0;
        EXPECT_EQ(object->GetIDsOfNames(IID{}, &n, 1, 0, &id), S_OK);
        EXPECT_EQ(id, expected++) << std::string(name, name + std::char_traits<char16_t>::length(name));
    }
}

VARIANT intIndex(LONG i) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = i;
    return v;
}

VARIANT keyIndex(Text& key) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = key.b;
    return v;
}

}  // namespace direzo::testing
