#include "type_library_wire.h"

#include <deque>
#include <vector>

#include "oleaut/comptr.h"
#include "oleaut/oleauto.h"
#include "oleaut/typelib_desc.h"
#include "wire_values.h"

namespace farlink {

namespace {

constexpr unsigned kMaxTypes = 1024;

struct Text {
    BSTR b = nullptr;
    ~Text() { SysFreeString(b); }
    std::u16string_view view() const { return std::u16string_view(b ? b : u"", SysStringLen(b)); }
};

template <class T, class Release>
struct Held {
    T* p = nullptr;
    Release release;
    ~Held() {
        if (p) release(p);
    }
};

// The VARTYPE a parameter description stands for: the pointee of a reference, VT_ARRAY for a
// safe array of its element type.
VARTYPE typeOf(const TYPEDESC& td) {
    const TYPEDESC* t = &td;
    if (t->vt == VT_PTR && t->lptdesc) t = t->lptdesc;
    if (t->vt == VT_SAFEARRAY && t->lptdesc) return VARTYPE(VT_ARRAY | t->lptdesc->vt);
    return t->vt;
}

HRESULT describeInterface(ITypeInfo* info, const TYPEATTR& attr, wire::TypeLibrary::Interface::Builder out) {
    Text name, doc;
    info->GetDocumentation(DISPID_UNKNOWN, &name.b, &doc.b, nullptr, nullptr);
    out.setName(textBytes(name.view()));
    out.setDoc(textBytes(doc.view()));
    out.setIid(guidBytes(attr.guid));
    out.setTypeFlags(attr.wTypeFlags);
    auto members = out.initMembers(attr.cFuncs);
    for (UINT i = 0; i < attr.cFuncs; ++i) {
        FUNCDESC* fd = nullptr;
        if (const HRESULT hr = info->GetFuncDesc(i, &fd); FAILED(hr)) return hr;
        auto m = members[i];
        m.setDispid(fd->memid);
        m.setKind(std::uint8_t(fd->invkind));
        m.setHidden((fd->wFuncFlags & FUNCFLAG_FHIDDEN) != 0);
        std::vector<BSTR> names(fd->cParams + 1, nullptr);
        UINT got = 0;
        info->GetNames(fd->memid, names.data(), UINT(names.size()), &got);
        // A property put shares its id with the get: its own names come by position.
        auto params = m.initParams(fd->cParams);
        for (SHORT p = 0; p < fd->cParams; ++p) {
            params[p].setVt(typeOf(fd->lprgelemdescParam[p].tdesc));
            params[p].setFlags(fd->lprgelemdescParam[p].paramdesc.wParamFlags);
            if (UINT(p + 1) < got) params[p].setName(textBytes(std::u16string_view(names[p + 1], SysStringLen(names[p + 1]))));
        }
        if (got > 0) m.setName(textBytes(std::u16string_view(names[0], SysStringLen(names[0]))));
        for (BSTR b : names) SysFreeString(b);
        Text memberDoc;
        info->GetDocumentation(fd->memid, nullptr, &memberDoc.b, nullptr, nullptr);
        m.setDoc(textBytes(memberDoc.view()));
        info->ReleaseFuncDesc(fd);
    }
    return S_OK;
}

void describeCoClass(ITypeInfo* info, const TYPEATTR& attr, wire::TypeLibrary::CoClass::Builder out) {
    Text name, doc;
    info->GetDocumentation(DISPID_UNKNOWN, &name.b, &doc.b, nullptr, nullptr);
    out.setName(textBytes(name.view()));
    out.setDoc(textBytes(doc.view()));
    out.setClsid(guidBytes(attr.guid));
    for (UINT i = 0; i < attr.cImplTypes; ++i) {
        HREFTYPE ref = 0;
        INT flags = 0;
        ComPtr<ITypeInfo> impl;
        if (FAILED(info->GetRefTypeOfImplType(i, &ref)) || FAILED(info->GetImplTypeFlags(i, &flags)) ||
            FAILED(info->GetRefTypeInfo(ref, impl.put())) || !impl)
            continue;
        TYPEATTR* implAttr = nullptr;
        if (FAILED(impl->GetTypeAttr(&implAttr))) continue;
        if (flags & IMPLTYPEFLAG_FSOURCE) out.setSourceInterface(guidBytes(implAttr->guid));
        else if (flags & IMPLTYPEFLAG_FDEFAULT) out.setDefaultInterface(guidBytes(implAttr->guid));
        impl->ReleaseTypeAttr(implAttr);
    }
}

}  // namespace

HRESULT describeTypeLibrary(ITypeLib* lib, wire::TypeLibrary::Builder out) {
    TLIBATTR* libAttr = nullptr;
    if (const HRESULT hr = lib->GetLibAttr(&libAttr); FAILED(hr)) return hr;
    out.setLibid(guidBytes(libAttr->guid));
    out.setMajorVersion(libAttr->wMajorVerNum);
    out.setMinorVersion(libAttr->wMinorVerNum);
    out.setLcid(libAttr->lcid);
    lib->ReleaseTLibAttr(libAttr);
    Text name, doc;
    lib->GetDocumentation(-1, &name.b, &doc.b, nullptr, nullptr);
    out.setName(textBytes(name.view()));
    out.setDoc(textBytes(doc.view()));

    struct Entry {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attr;
    };
    std::vector<Entry> interfaces, classes;
    const UINT count = std::min<UINT>(lib->GetTypeInfoCount(), kMaxTypes);
    for (UINT i = 0; i < count; ++i) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attr = nullptr;
        if (FAILED(lib->GetTypeInfo(i, info.put())) || !info || FAILED(info->GetTypeAttr(&attr))) continue;
        if (attr->typekind == TKIND_DISPATCH || attr->typekind == TKIND_INTERFACE) interfaces.push_back({info, attr});
        else if (attr->typekind == TKIND_COCLASS) classes.push_back({info, attr});
        else info->ReleaseTypeAttr(attr);
    }
    HRESULT hr = S_OK;
    auto wireInterfaces = out.initInterfaces(UINT(interfaces.size()));
    for (UINT i = 0; i < interfaces.size() && SUCCEEDED(hr); ++i)
        hr = describeInterface(interfaces[i].info.get(), *interfaces[i].attr, wireInterfaces[i]);
    auto wireClasses = out.initCoclasses(UINT(classes.size()));
    for (UINT i = 0; i < classes.size(); ++i) describeCoClass(classes[i].info.get(), *classes[i].attr, wireClasses[i]);
    for (auto& e : interfaces) e.info->ReleaseTypeAttr(e.attr);
    for (auto& e : classes) e.info->ReleaseTypeAttr(e.attr);
    return hr;
}

HRESULT buildTypeLibrary(wire::TypeLibrary::Reader in, ITypeLib** out) {
    *out = nullptr;
    if (in.getInterfaces().size() > kMaxTypes || in.getCoclasses().size() > kMaxTypes) return E_OUTOFMEMORY;
    oleaut::TypeLibDesc desc;
    desc.name = readText(in.getName());
    desc.libid = readGuid(in.getLibid()).value_or(GUID_NULL);
    desc.majorVersion = in.getMajorVersion();
    desc.minorVersion = in.getMinorVersion();
    desc.lcid = in.getLcid();
    desc.doc = readText(in.getDoc());
    std::deque<oleaut::InterfaceDesc> interfaces;
    for (auto i : in.getInterfaces()) {
        oleaut::InterfaceDesc& d = interfaces.emplace_back();
        d.name = readText(i.getName());
        d.iid = readGuid(i.getIid()).value_or(GUID_NULL);
        d.doc = readText(i.getDoc());
        d.typeFlags = i.getTypeFlags();
        for (auto m : i.getMembers()) {
            oleaut::MemberDesc& md = d.members.emplace_back();
            md.name = readText(m.getName());
            md.dispid = m.getDispid();
            const auto kind = m.getKind();
            if (kind != INVOKE_FUNC && kind != INVOKE_PROPERTYGET && kind != INVOKE_PROPERTYPUT &&
                kind != INVOKE_PROPERTYPUTREF)
                return TYPE_E_ELEMENTNOTFOUND;
            md.kind = INVOKEKIND(kind);
            md.hidden = m.getHidden();
            md.doc = readText(m.getDoc());
            for (auto p : m.getParams()) md.params.push_back({readText(p.getName()), p.getVt(), p.getFlags()});
        }
        desc.interfaces.push_back(&d);
    }
    auto find = [&](capnp::Data::Reader iid) -> const oleaut::InterfaceDesc* {
        const auto g = readGuid(iid);
        for (const auto& d : interfaces)
            if (g && d.iid == *g) return &d;
        return nullptr;
    };
    for (auto c : in.getCoclasses())
        desc.coclasses.push_back({readText(c.getName()), readGuid(c.getClsid()).value_or(GUID_NULL), readText(c.getDoc()),
                                  find(c.getDefaultInterface()), find(c.getSourceInterface())});
    return oleaut::CreateTypeLibFromDesc(desc, out);
}

}  // namespace farlink
