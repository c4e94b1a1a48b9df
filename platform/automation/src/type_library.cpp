// ITypeLib / ITypeInfo over a TypeLibDesc: interfaces (dispatch view of dual interfaces),
// coclasses, enumerations with their aliases, and records. The library copies the description;
// its type infos live as long as the library and share its reference count.
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "com_base.h"
#include "oleaut/com_object.h"
#include "oleaut/oleauto.h"
#include "text.h"

using namespace oleaut;
using namespace oleaut::detail;

namespace {

constexpr MEMBERID kMemberNil = -1;           // documents the type itself
constexpr MEMBERID kFirstVariableId = 0x40000000;  // ids of enumerators and record fields
constexpr SHORT kFirstSlotOffset = 28;        // byte offset of a dual interface's first own slot
constexpr SHORT kSlotSize = 4;

HRESULT giveText(std::u16string_view text, BSTR* out) {
    if (!out) return S_OK;  // the caller does not want this one
    *out = SysAllocStringLen(text.data(), UINT(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class TypeLib;

struct Variable {
    std::u16string name;
    VARTYPE vt = VT_I4;
    LONG value = 0;    // enumerators
    ULONG offset = 0;  // record fields
};

class TypeInfo final : public ITypeInfo {
public:
    TypeInfo(TypeLib& lib, TYPEKIND kind, std::u16string name, GUID guid, std::u16string doc)
        : lib_(lib), kind_(kind), name_(std::move(name)), guid_(guid), doc_(std::move(doc)) {}

    // Filled by the library while it is built.
    InterfaceDesc iface;                            // TKIND_DISPATCH
    std::vector<std::pair<HREFTYPE, INT>> implTypes;  // TKIND_COCLASS
    std::vector<Variable> variables;                // TKIND_ENUM, TKIND_RECORD
    ULONG instanceSize = 0;                         // TKIND_ENUM, TKIND_RECORD
    HREFTYPE aliasOf = 0;                           // TKIND_ALIAS
    WORD typeFlags = 0;

    TYPEKIND kind() const { return kind_; }
    const GUID& guid() const { return guid_; }
    const std::u16string& name() const { return name_; }
    const std::u16string& doc() const { return doc_; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IUnknown::iid && riid != ITypeInfo::iid) return E_NOINTERFACE;
        *ppv = static_cast<ITypeInfo*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTypeAttr(TYPEATTR** out) override;
    HRESULT GetFuncDesc(UINT index, FUNCDESC** out) override;
    HRESULT GetVarDesc(UINT index, VARDESC** out) override;
    HRESULT GetNames(MEMBERID memid, BSTR* names, UINT maxNames, UINT* count) override;
    HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* out) override {
        if (!out) return E_INVALIDARG;
        if (index >= implTypes.size()) return TYPE_E_ELEMENTNOTFOUND;
        *out = implTypes[index].first;
        return S_OK;
    }
    HRESULT GetImplTypeFlags(UINT index, INT* out) override {
        if (!out) return E_INVALIDARG;
        if (index >= implTypes.size()) return TYPE_E_ELEMENTNOTFOUND;
        *out = implTypes[index].second;
        return S_OK;
    }
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override;
    HRESULT Invoke(void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, UINT* argErr) override {
        if (kind_ != TKIND_DISPATCH) return DISP_E_MEMBERNOTFOUND;
        return dispatchInvoke(iface, static_cast<IUnknown*>(instance), memid, flags, params, result, excep, argErr);
    }
    HRESULT GetDocumentation(MEMBERID memid, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) override;
    HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** out) override;
    HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) override;
    void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
    void ReleaseFuncDesc(FUNCDESC* desc) override { std::free(desc); }
    void ReleaseVarDesc(VARDESC* desc) override { std::free(desc); }

private:
    const MemberDesc* memberById(MEMBERID memid) const {
        if (kind_ != TKIND_DISPATCH) return nullptr;
        for (const MemberDesc& m : iface.members)
            if (m.dispid == memid) return &m;
        return nullptr;
    }
    const Variable* variableById(MEMBERID memid) const {
        const std::int64_t i = std::int64_t(memid) - kFirstVariableId;
        return i >= 0 && i < std::int64_t(variables.size()) ? &variables[std::size_t(i)] : nullptr;
    }

    TypeLib& lib_;
    TYPEKIND kind_;
    std::u16string name_;
    GUID guid_;
    std::u16string doc_;
};

class TypeLib final : public ComBase<ITypeLib> {
public:
    explicit TypeLib(const TypeLibDesc& desc);

    UINT GetTypeInfoCount() override { return UINT(infos_.size()); }
    HRESULT GetTypeInfo(UINT index, ITypeInfo** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (index >= infos_.size()) return TYPE_E_ELEMENTNOTFOUND;
        *out = infos_[index].get();
        AddRef();
        return S_OK;
    }
    HRESULT GetTypeInfoType(UINT index, TYPEKIND* out) override {
        if (!out) return E_INVALIDARG;
        if (index >= infos_.size()) return TYPE_E_ELEMENTNOTFOUND;
        *out = infos_[index]->kind();
        return S_OK;
    }
    HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (guid == GUID_NULL) return TYPE_E_ELEMENTNOTFOUND;
        for (UINT i = 0; i < infos_.size(); ++i)
            if (infos_[i]->guid() == guid) return GetTypeInfo(i, out);
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT GetLibAttr(TLIBATTR** out) override {
        if (!out) return E_INVALIDARG;
        *out = new (std::nothrow) TLIBATTR{libid_, lcid_, SYS_WIN32, major_, minor_, 0};
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) override {
        if (index < -1 || index >= INT(infos_.size())) return TYPE_E_ELEMENTNOTFOUND;
        if (index >= 0) return infos_[std::size_t(index)]->GetDocumentation(kMemberNil, name, doc, helpContext, helpFile);
        if (helpContext) *helpContext = 0;
        if (helpFile) *helpFile = nullptr;
        if (const HRESULT hr = giveText(name_, name); FAILED(hr)) return hr;
        return giveText(doc_, doc);
    }
    void ReleaseTLibAttr(TLIBATTR* attr) override { delete attr; }

    UINT indexOf(const TypeInfo* info) const {
        for (UINT i = 0; i < infos_.size(); ++i)
            if (infos_[i].get() == info) return i;
        return 0;
    }
    LCID lcid() const { return lcid_; }
    WORD major() const { return major_; }
    WORD minor() const { return minor_; }

private:
    TypeInfo& add(TYPEKIND kind, std::u16string name, GUID guid, std::u16string doc) {
        infos_.push_back(std::make_unique<TypeInfo>(*this, kind, std::move(name), guid, std::move(doc)));
        return *infos_.back();
    }
    HREFTYPE interfaceRef(const InterfaceDesc& desc);

    std::u16string name_, doc_;
    GUID libid_;
    WORD major_, minor_;
    LCID lcid_;
    std::vector<std::unique_ptr<TypeInfo>> infos_;
};

ULONG TypeInfo::AddRef() { return lib_.AddRef(); }
ULONG TypeInfo::Release() { return lib_.Release(); }

HREFTYPE TypeLib::interfaceRef(const InterfaceDesc& desc) {
    for (UINT i = 0; i < infos_.size(); ++i)
        if (infos_[i]->kind() == TKIND_DISPATCH && infos_[i]->guid() == desc.iid) return i;
    TypeInfo& info = add(TKIND_DISPATCH, desc.name, desc.iid, desc.doc);
    info.iface = desc;
    info.iface.assignDispids();
    info.typeFlags = desc.typeFlags;
    return HREFTYPE(infos_.size() - 1);
}

TypeLib::TypeLib(const TypeLibDesc& desc)
    : name_(desc.name), doc_(desc.doc), libid_(desc.libid), major_(desc.majorVersion), minor_(desc.minorVersion),
      lcid_(desc.lcid) {
    for (const InterfaceDesc* itf : desc.interfaces)
        if (itf) interfaceRef(*itf);
    for (const CoClassDesc& cls : desc.coclasses) {
        // Interfaces a coclass names but the library does not list are added first.
        HREFTYPE defaultRef = 0, sourceRef = 0;
        if (cls.defaultInterface) defaultRef = interfaceRef(*cls.defaultInterface);
        if (cls.sourceInterface) sourceRef = interfaceRef(*cls.sourceInterface);
        TypeInfo& info = add(TKIND_COCLASS, cls.name, cls.clsid, cls.doc);
        info.typeFlags = TYPEFLAG_FCANCREATE;
        if (cls.defaultInterface) info.implTypes.emplace_back(defaultRef, IMPLTYPEFLAG_FDEFAULT);
        if (cls.sourceInterface) info.implTypes.emplace_back(sourceRef, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    }
    for (const EnumDesc& e : desc.enums) {
        TypeInfo& info = add(TKIND_ENUM, e.name, e.guid, {});
        info.instanceSize = sizeof(LONG);
        for (const auto& [name, value] : e.values) info.variables.push_back({name, VT_I4, value, 0});
        const HREFTYPE enumRef = HREFTYPE(infos_.size() - 1);
        if (!e.alias.empty()) add(TKIND_ALIAS, e.alias, GUID_NULL, {}).aliasOf = enumRef;
    }
    for (const RecordDesc& r : desc.records) {
        TypeInfo& info = add(TKIND_RECORD, r.name, r.guid, {});
        info.instanceSize = r.size;
        for (const FieldDesc& f : r.fields) info.variables.push_back({f.name, f.vt, 0, f.offset});
    }
}

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** out) {
    if (!out) return E_INVALIDARG;
    auto* attr = new (std::nothrow) TYPEATTR{};
    if (!attr) return E_OUTOFMEMORY;
    attr->guid = guid_;
    attr->lcid = lib_.lcid();
    attr->memidConstructor = kMemberNil;
    attr->memidDestructor = kMemberNil;
    attr->typekind = kind_;
    attr->cFuncs = kind_ == TKIND_DISPATCH ? WORD(iface.members.size()) : 0;
    attr->cVars = WORD(variables.size());
    attr->cImplTypes = WORD(implTypes.size());
    attr->cbSizeVft = kind_ == TKIND_DISPATCH ? WORD(kFirstSlotOffset + kSlotSize * iface.members.size()) : 0;
    attr->cbSizeInstance = kind_ == TKIND_DISPATCH || kind_ == TKIND_COCLASS ? sizeof(void*) : instanceSize;
    attr->cbAlignment = 4;
    attr->wTypeFlags = typeFlags;
    attr->wMajorVerNum = lib_.major();
    attr->wMinorVerNum = lib_.minor();
    if (kind_ == TKIND_ALIAS) {
        attr->tdescAlias.vt = VT_USERDEFINED;
        attr->tdescAlias.hreftype = aliasOf;
    }
    *out = attr;
    return S_OK;
}

// Describes a parameter of type vt (with VT_ARRAY: a safe array of its element type), passed by
// reference when byRef; the pointee descriptions come from pool.
void describeType(VARTYPE vt, bool byRef, TYPEDESC& td, TYPEDESC*& pool) {
    auto value = [&pool](VARTYPE v, TYPEDESC& t) {
        t.lptdesc = nullptr;
        if (v & VT_ARRAY) {
            TYPEDESC* element = pool++;
            element->vt = v & ~VT_ARRAY;
            element->lptdesc = nullptr;
            t.vt = VT_SAFEARRAY;
            t.lptdesc = element;
        } else {
            t.vt = v;
        }
    };
    if (!byRef) return value(vt, td);
    TYPEDESC* pointee = pool++;
    value(vt, *pointee);
    td.vt = VT_PTR;
    td.lptdesc = pointee;
}

HRESULT TypeInfo::GetFuncDesc(UINT index, FUNCDESC** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (kind_ != TKIND_DISPATCH || index >= iface.members.size()) return TYPE_E_ELEMENTNOTFOUND;
    const MemberDesc& m = iface.members[index];
    const std::size_t n = m.params.size();
    // One block: the description, its parameters, then up to two pointee types per parameter.
    void* block = std::calloc(1, sizeof(FUNCDESC) + n * sizeof(ELEMDESC) + 2 * n * sizeof(TYPEDESC));
    if (!block) return E_OUTOFMEMORY;
    auto* fd = static_cast<FUNCDESC*>(block);
    auto* params = reinterpret_cast<ELEMDESC*>(fd + 1);
    TYPEDESC* pool = reinterpret_cast<TYPEDESC*>(params + n);
    fd->memid = m.dispid;
    fd->funckind = FUNC_DISPATCH;
    fd->invkind = m.kind;
    fd->callconv = CC_STDCALL;
    fd->cParams = SHORT(n);
    fd->oVft = SHORT(kFirstSlotOffset + kSlotSize * SHORT(index));
    fd->lprgelemdescParam = n ? params : nullptr;
    fd->elemdescFunc.tdesc.vt = VT_HRESULT;
    fd->wFuncFlags = m.hidden ? FUNCFLAG_FHIDDEN : 0;
    for (std::size_t i = 0; i < n; ++i) {
        const ParamDesc& p = m.params[i];
        describeType(p.vt, (p.flags & PARAMFLAG_FOUT) != 0, params[i].tdesc, pool);
        params[i].paramdesc.wParamFlags = p.flags;
    }
    *out = fd;
    return S_OK;
}

HRESULT TypeInfo::GetVarDesc(UINT index, VARDESC** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (index >= variables.size()) return TYPE_E_ELEMENTNOTFOUND;
    const Variable& v = variables[index];
    void* block = std::calloc(1, sizeof(VARDESC) + sizeof(VARIANT));
    if (!block) return E_OUTOFMEMORY;
    auto* vd = static_cast<VARDESC*>(block);
    vd->memid = kFirstVariableId + MEMBERID(index);
    vd->elemdescVar.tdesc.vt = v.vt;
    if (kind_ == TKIND_ENUM) {
        auto* value = reinterpret_cast<VARIANT*>(vd + 1);
        value->vt = VT_I4;
        value->lVal = v.value;
        vd->varkind = VAR_CONST;
        vd->lpvarValue = value;
    } else {
        vd->varkind = VAR_PERINSTANCE;
        vd->oInst = v.offset;
    }
    *out = vd;
    return S_OK;
}

HRESULT TypeInfo::GetNames(MEMBERID memid, BSTR* names, UINT maxNames, UINT* count) {
    if (!names || !count) return E_INVALIDARG;
    *count = 0;
    std::vector<std::u16string_view> found;
    if (const MemberDesc* m = memberById(memid)) {
        found.push_back(m->name);
        for (const ParamDesc& p : m->params) found.push_back(p.name);
    } else if (const Variable* v = variableById(memid)) {
        found.push_back(v->name);
    } else {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    for (UINT i = 0; i < found.size() && i < maxNames; ++i) {
        if (const HRESULT hr = giveText(found[i], &names[i]); FAILED(hr)) {
            for (UINT k = 0; k < i; ++k) SysFreeString(names[k]);
            return hr;
        }
        *count = i + 1;
    }
    return S_OK;
}

HRESULT TypeInfo::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) {
    if (kind_ == TKIND_DISPATCH) return dispatchGetIDsOfNames(iface, names, count, ids);
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (std::size_t v = 0; v < variables.size(); ++v)
        if (equalsIgnoreCase(variables[v].name, viewOf(names[0]))) ids[0] = kFirstVariableId + MEMBERID(v);
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT TypeInfo::GetDocumentation(MEMBERID memid, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) {
    std::u16string_view memberName, memberDoc;
    if (memid == kMemberNil) {
        memberName = name_;
        memberDoc = doc_;
    } else if (const MemberDesc* m = memberById(memid)) {
        memberName = m->name;
        memberDoc = m->doc;
    } else if (const Variable* v = variableById(memid)) {
        memberName = v->name;
    } else {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    if (helpContext) *helpContext = 0;
    if (helpFile) *helpFile = nullptr;
    if (const HRESULT hr = giveText(memberName, name); FAILED(hr)) return hr;
    if (const HRESULT hr = giveText(memberDoc, doc); FAILED(hr)) {
        if (name) {
            SysFreeString(*name);
            *name = nullptr;
        }
        return hr;
    }
    return S_OK;
}

HRESULT TypeInfo::GetRefTypeInfo(HREFTYPE ref, ITypeInfo** out) { return lib_.GetTypeInfo(ref, out); }

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** lib, UINT* index) {
    if (!lib) return E_INVALIDARG;
    *lib = &lib_;
    lib_.AddRef();
    if (index) *index = lib_.indexOf(this);
    return S_OK;
}

}  // namespace

namespace oleaut {

HRESULT CreateTypeLibFromDesc(const TypeLibDesc& desc, ITypeLib** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    TypeLib* lib = nullptr;
    try {
        lib = new TypeLib(desc);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    lib->AddRef();
    *out = lib;
    return S_OK;
}

HRESULT typeInfoOf(ITypeLib* lib, REFIID iid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!lib) return E_UNEXPECTED;
    return lib->GetTypeInfoOfGuid(iid, out);
}

}  // namespace oleaut
