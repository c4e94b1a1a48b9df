// Base types of the automation runtime: integers, HRESULT, GUID, wide characters.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>

#include "win32/basetypes.h"

using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;  // length-prefixed, NUL-terminated UTF-16

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT hresult(std::uint32_t code) { return static_cast<HRESULT>(code); }
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT CO_S_NOTALLINTERFACES = 0x00080012;  // some MULTI_QI entries were not answered
constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
constexpr HRESULT E_POINTER = hresult(0x80004003);
constexpr HRESULT E_ABORT = hresult(0x80004004);
constexpr HRESULT E_FAIL = hresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = hresult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
constexpr HRESULT REGDB_E_READREGDB = hresult(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = hresult(0x80040151);
constexpr HRESULT REGDB_E_KEYMISSING = hresult(0x80040152);
constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = hresult(0x800401F3);
constexpr HRESULT CO_E_NOTINITIALIZED = hresult(0x800401F0);
constexpr HRESULT CO_E_DLLNOTFOUND = hresult(0x8004018E);
constexpr HRESULT CO_E_ERRORINDLL = hresult(0x800401F9);
constexpr HRESULT RPC_E_CHANGED_MODE = hresult(0x80010106);
constexpr HRESULT RPC_S_SERVER_UNAVAILABLE = hresult(0x800706BA);  // no server answered
constexpr HRESULT RPC_S_SERVER_TOO_BUSY = hresult(0x800706BB);     // the server takes no more clients
constexpr HRESULT RPC_E_SERVERFAULT = hresult(0x80010105);         // the server failed the call
constexpr HRESULT RPC_E_DISCONNECTED = hresult(0x80010108);        // the connection broke
constexpr HRESULT RPC_E_WRONG_THREAD = hresult(0x8001010E);        // called off the object's apartment
constexpr HRESULT RPC_E_TIMEOUT = hresult(0x8001011F);             // no answer in time
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = hresult(0x80080005);  // the host runs no object exporter
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = hresult(0x8002802B);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = hresult(0x8002801D);
constexpr HRESULT TYPE_E_REGISTRYACCESS = hresult(0x8002801C);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = hresult(0x80029C4A);
constexpr HRESULT CONNECT_E_NOCONNECTION = hresult(0x80040200);
constexpr HRESULT CONNECT_E_ADVISELIMIT = hresult(0x80040201);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = hresult(0x80040202);
constexpr HRESULT CONNECT_E_OVERRIDDEN = hresult(0x80040203);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = hresult(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = hresult(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = hresult(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = hresult(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = hresult(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = hresult(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = hresult(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = hresult(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = hresult(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = hresult(0x8002000B);
constexpr HRESULT DISP_E_UNKNOWNLCID = hresult(0x8002000C);
constexpr HRESULT DISP_E_ARRAYISLOCKED = hresult(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = hresult(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = hresult(0x8002000F);

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return false;
        return true;
    }
    friend constexpr auto operator<=>(const GUID& a, const GUID& b) {
        if (auto c = a.Data1 <=> b.Data1; c != 0) return c;
        if (auto c = a.Data2 <=> b.Data2; c != 0) return c;
        if (auto c = a.Data3 <=> b.Data3; c != 0) return c;
        for (int i = 0; i < 8; ++i)
            if (auto c = a.Data4[i] <=> b.Data4[i]; c != 0) return c;
        return std::strong_ordering::equal;
    }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;
inline constexpr GUID GUID_NULL{};
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

namespace oleaut::detail {
constexpr std::uint32_t hexDigit(char c) {
    return c >= '0' && c <= '9'   ? std::uint32_t(c - '0')
           : c >= 'a' && c <= 'f' ? std::uint32_t(c - 'a' + 10)
           : c >= 'A' && c <= 'F' ? std::uint32_t(c - 'A' + 10)
                                  : throw "invalid hexadecimal digit in GUID";
}
constexpr std::uint32_t hexField(const char* s, int digits) {
    std::uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = (v << 4) | hexDigit(s[i]);
    return v;
}
}  // namespace oleaut::detail

// A GUID from its registry form without braces, "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", at compile time.
consteval GUID makeGuid(const char (&s)[37]) {
    using oleaut::detail::hexField;
    if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') throw "malformed GUID";
    GUID g{hexField(s, 8), std::uint16_t(hexField(s + 9, 4)), std::uint16_t(hexField(s + 14, 4)), {}};
    g.Data4[0] = std::uint8_t(hexField(s + 19, 2));
    g.Data4[1] = std::uint8_t(hexField(s + 21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = std::uint8_t(hexField(s + 24 + 2 * i, 2));
    return g;
}

// The interface id of an interface type: every interface declares `static constexpr IID iid`.
template <class I>
inline constexpr const IID& uuidof() {
    return I::iid;
}
