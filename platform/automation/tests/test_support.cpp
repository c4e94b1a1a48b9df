#include "test_support.h"

#include <cstdio>


std::string describe(const VARIANT& v) {
    char buf[64];
    switch (v.vt) {
    case VT_EMPTY: return "EMPTY";
    case VT_I1: return "I1:" + std::to_string(v.cVal);
    case VT_UI1: return "UI1:" + std::to_string(v.bVal);
    case VT_I2: return "I2:" + std::to_string(v.iVal);
    case VT_UI2: return "UI2:" + std::to_string(v.uiVal);
    case VT_I4: return "I4:" + std::to_string(v.lVal);
    case VT_UI4: return "UI4:" + std::to_string(v.ulVal);
    case VT_I8: return "I8:" + std::to_string(v.llVal);
    case VT_UI8: return "UI8:" + std::to_string(v.ullVal);
    case VT_BOOL: return "BOOL:" + std::to_string(v.boolVal);
    case VT_R4: std::snprintf(buf, sizeof buf, "R4:%g", double(v.fltVal)); return buf;
    case VT_R8: std::snprintf(buf, sizeof buf, "R8:%g", v.dblVal); return buf;
    case VT_BSTR: {
        std::string out = "BSTR:";
        for (char16_t c : text(v.bstrVal)) out += c < 0x80 ? char(c) : '?';
        return out;
    }
    default: return "vt" + std::to_string(v.vt);
    }
}

HRESULT FakeObject::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (riid == IUnknown::iid || (dispatch_ && riid == IDispatch::iid)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT FakeObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                           UINT*) {
    ++calls;
    if (params && params->cArgs == 1 && params->rgvarg[0].vt == VT_I4) lastArgument = params->rgvarg[0].lVal;
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_I4;
    result->lVal = value_;
    return S_OK;
}
