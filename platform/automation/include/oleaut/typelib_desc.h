// Descriptions of a type library's types, from which the runtime builds ITypeLib / ITypeInfo
// objects and one table-driven IDispatch serves every class (see dispatch_member.h).
#pragma once

#include <string>
#include <vector>

#include "oleaut/oaidl.h"

namespace oleaut {

// Calls one member on an interface pointer with the caller's arguments (reverse order).
using InvokeThunk = HRESULT (*)(IUnknown* itf, DISPPARAMS* params, VARIANT* result, UINT* argErr);

struct ParamDesc {
    std::u16string name;
    VARTYPE vt;   // VT_I4, VT_BSTR, VT_VARIANT, VT_DISPATCH ...; out parameters without VT_BYREF
    USHORT flags; // PARAMFLAG_FIN, PARAMFLAG_FOUT, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL
};

struct MemberDesc {
    std::u16string name;
    DISPID dispid = DISPID_UNKNOWN;  // assigned by InterfaceDesc::assignDispids when left unknown
    INVOKEKIND kind = INVOKE_FUNC;
    std::vector<ParamDesc> params;
    bool hidden = false;
    std::u16string doc;
    InvokeThunk invoke = nullptr;  // null for members of event interfaces (implemented by sinks)
};

struct InterfaceDesc {
    std::u16string name;
    IID iid;
    std::u16string doc;
    WORD typeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
    std::vector<MemberDesc> members;  // in slot order

    // Dispatch ids 1, 2, 3 ... in slot order, a property's get and put sharing one id; members that
    // already carry an id (Item 0, _NewEnum -4) keep it.
    void assignDispids();
    const MemberDesc* find(DISPID id, INVOKEKIND kind) const;
    // Case-insensitive name lookup, DISPID_UNKNOWN when absent.
    DISPID dispidOf(std::u16string_view name) const;
};

struct CoClassDesc {
    std::u16string name;
    CLSID clsid;
    std::u16string doc;
    const InterfaceDesc* defaultInterface = nullptr;
    const InterfaceDesc* sourceInterface = nullptr;  // outgoing (event) interface, or null
};

struct EnumDesc {
    std::u16string name;
    GUID guid;
    std::u16string alias;  // a typedef name for the enumeration, or empty
    std::vector<std::pair<std::u16string, LONG>> values;
};

struct FieldDesc {
    std::u16string name;
    VARTYPE vt;
    ULONG offset;
};
struct RecordDesc {
    std::u16string name;
    GUID guid;
    ULONG size;
    std::vector<FieldDesc> fields;
};

struct TypeLibDesc {
    std::u16string name;
    GUID libid;
    WORD majorVersion = 1;
    WORD minorVersion = 0;
    LCID lcid = 0;
    std::u16string doc;
    std::vector<const InterfaceDesc*> interfaces;
    std::vector<CoClassDesc> coclasses;
    std::vector<EnumDesc> enums;
    std::vector<RecordDesc> records;
};

// Builds a type library over a description. The library copies what it needs, except the invoke
// thunks, so it may outlive the description.
HRESULT CreateTypeLibFromDesc(const TypeLibDesc& desc, ITypeLib** out);

}  // namespace oleaut
