#include "type_members.h"

#include <map>
#include <mutex>

#include "oleaut/oleauto.h"
#include "text.h"

namespace pyoleaut {

namespace {

struct TypeAttr {
    ITypeInfo* info;
    TYPEATTR* attr = nullptr;
    explicit TypeAttr(ITypeInfo* i) : info(i) {
        if (FAILED(info->GetTypeAttr(&attr))) attr = nullptr;
    }
    ~TypeAttr() {
        if (attr) info->ReleaseTypeAttr(attr);
    }
};

struct FuncDesc {
    ITypeInfo* info;
    FUNCDESC* desc = nullptr;
    FuncDesc(ITypeInfo* i, UINT index) : info(i) {
        if (FAILED(info->GetFuncDesc(index, &desc))) desc = nullptr;
    }
    ~FuncDesc() {
        if (desc) info->ReleaseFuncDesc(desc);
    }
};

MemberInfo readMember(ITypeInfo* info, const FUNCDESC& fd) {
    MemberInfo m;
    m.id = fd.memid;
    m.kind = fd.invkind;
    m.hidden = (fd.wFuncFlags & (FUNCFLAG_FHIDDEN | FUNCFLAG_FRESTRICTED)) != 0;

    for (SHORT i = 0; i < fd.cParams; ++i) {
        const ELEMDESC& e = fd.lprgelemdescParam[i];
        m.params.push_back(ParamInfo{{}, e.tdesc.vt, e.paramdesc.wParamFlags});
    }
    // The member's name, then its parameters' names (a property put's value may go unnamed).
    std::vector<BSTR> names(m.params.size() + 1, nullptr);
    UINT got = 0;
    if (FAILED(info->GetNames(fd.memid, names.data(), UINT(names.size()), &got))) got = 0;
    for (UINT i = 0; i < got && i < names.size(); ++i) {
        (i == 0 ? m.name : m.params[i - 1].name) = BStr::view(names[i]);
        SysFreeString(names[i]);
    }
    for (std::size_t i = 0; i < m.params.size(); ++i)
        if (m.params[i].name.empty()) m.params[i].name = asciiText("arg" + std::to_string(i + 1));

    BStr doc;
    if (SUCCEEDED(info->GetDocumentation(fd.memid, nullptr, doc.put(), nullptr, nullptr))) m.doc = doc.view();
    return m;
}

std::shared_ptr<const TypeMembers> read(ITypeInfo* info, const TYPEATTR& attr) {
    auto t = std::make_shared<TypeMembers>();
    t->iid = attr.guid;
    BStr name, doc;
    if (SUCCEEDED(info->GetDocumentation(DISPID_UNKNOWN, name.put(), doc.put(), nullptr, nullptr))) {
        t->name = name.view();
        t->doc = doc.view();
    }
    for (UINT i = 0; i < attr.cFuncs; ++i) {
        FuncDesc fd(info, i);
        if (fd.desc) t->members.push_back(readMember(info, *fd.desc));
    }
    return t;
}

}  // namespace

std::size_t MemberInfo::inCount() const {
    std::size_t n = 0;
    for (const auto& p : params) n += p.isOut() ? 0 : 1;
    return n;
}

std::size_t MemberInfo::outCount() const { return params.size() - inCount(); }

std::u16string MemberInfo::signature() const {
    std::u16string s = name;
    std::u16string ins, outs;
    for (const auto& p : params) {
        std::u16string& list = p.isOut() ? outs : ins;
        if (!list.empty()) list += u", ";
        list += p.name;
    }
    if (kind == INVOKE_PROPERTYPUT || kind == INVOKE_PROPERTYPUTREF) return s + u" = " + ins;
    if (kind == INVOKE_FUNC || !ins.empty()) s += u"(" + ins + u")";
    if (outCount() > 1) s += u" -> (" + outs + u")";
    else if (outCount() == 1) s += u" -> " + outs;
    else if (kind == INVOKE_FUNC) s += u" -> status";
    return s;
}

const MemberInfo* TypeMembers::find(std::u16string_view n, INVOKEKIND kind) const {
    for (const auto& m : members)
        if (m.kind == kind && sameName(m.name, n)) return &m;
    return nullptr;
}

const MemberInfo* TypeMembers::findId(DISPID id) const {
    for (const auto& m : members)
        if (m.id == id && m.kind != INVOKE_PROPERTYPUT && m.kind != INVOKE_PROPERTYPUTREF) return &m;
    return nullptr;
}

bool TypeMembers::has(std::u16string_view n) const {
    for (const auto& m : members)
        if (sameName(m.name, n)) return true;
    return false;
}

std::vector<std::u16string> TypeMembers::names() const {
    std::vector<std::u16string> out;
    for (const auto& m : members) {
        if (m.hidden) continue;
        bool seen = false;
        for (const auto& n : out) seen = seen || n == m.name;
        if (!seen) out.push_back(m.name);
    }
    return out;
}

std::u16string TypeMembers::describe() const {
    std::u16string s = name.empty() ? u"(unnamed interface)" : name;
    if (!doc.empty()) s += u": " + doc;
    s += u"\n";
    for (const auto& m : members) {
        if (m.hidden) continue;
        const bool plainProperty = m.kind == INVOKE_PROPERTYGET && m.inCount() == 0;
        std::u16string line = u"    " + (plainProperty ? m.name : m.signature());
        if (plainProperty) {
            const bool writable = find(m.name, INVOKE_PROPERTYPUT) || find(m.name, INVOKE_PROPERTYPUTREF);
            line += writable ? u"    [property]" : u"    [read-only property]";
        } else if (m.kind == INVOKE_PROPERTYPUT || m.kind == INVOKE_PROPERTYPUTREF) {
            if (find(m.name, INVOKE_PROPERTYGET)) continue;  // listed with its get
            line += u"    [write-only property]";
        }
        if (m.id == DISPID_VALUE) line += u"    [default member: obj(...)]";
        s += line + u"\n";
        if (!m.doc.empty()) s += u"        " + m.doc + u"\n";
    }
    return s;
}

std::shared_ptr<const TypeMembers> readTypeMembers(ITypeInfo* info) {
    static std::mutex mutex;
    static std::map<IID, std::shared_ptr<const TypeMembers>> cache;
    if (!info) return nullptr;
    TypeAttr attr(info);
    if (!attr.attr) return nullptr;
    if (attr.attr->guid == GUID_NULL) return read(info, *attr.attr);  // nothing to key a cache on
    std::lock_guard lock(mutex);
    auto it = cache.find(attr.attr->guid);
    if (it != cache.end()) return it->second;
    auto members = read(info, *attr.attr);
    cache.emplace(attr.attr->guid, members);
    return members;
}

}  // namespace pyoleaut
