#include <gtest/gtest.h>

#include <vector>

#include "test_object.h"
#include "test_support.h"

namespace {

ComPtr<ITypeLib> makeLibrary() {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(oleaut::CreateTypeLibFromDesc(TestObj::libraryDesc(), lib.put()), S_OK);
    return lib;
}

ComPtr<ITypeInfo> infoOf(ITypeLib* lib, const GUID& guid) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(guid, info.put()), S_OK);
    return info;
}

std::vector<std::u16string> namesOf(ITypeInfo* info, MEMBERID id) {
    BSTR names[8] = {};
    UINT count = 0;
    EXPECT_EQ(info->GetNames(id, names, 8, &count), S_OK);
    std::vector<std::u16string> out;
    for (UINT i = 0; i < count; ++i) {
        out.push_back(text(names[i]));
        SysFreeString(names[i]);
    }
    return out;
}

}  // namespace

TEST(TypeLibrary, LibraryAttributesAndDocumentation) {
    ComPtr<ITypeLib> lib = makeLibrary();
    // Two interfaces, the coclass, the enumeration and its alias, the record.
    ASSERT_EQ(lib->GetTypeInfoCount(), 6u);
    const TYPEKIND kinds[] = {TKIND_DISPATCH, TKIND_DISPATCH, TKIND_COCLASS, TKIND_ENUM, TKIND_ALIAS, TKIND_RECORD};
    for (UINT i = 0; i < 6; ++i) {
        TYPEKIND k{};
        EXPECT_EQ(lib->GetTypeInfoType(i, &k), S_OK);
        EXPECT_EQ(k, kinds[i]) << i;
    }
    TYPEKIND k{};
    EXPECT_EQ(lib->GetTypeInfoType(6, &k), TYPE_E_ELEMENTNOTFOUND);

    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_TestLib);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 2);
    EXPECT_EQ(attr->lcid, 0u);
    lib->ReleaseTLibAttr(attr);

    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(text(name), u"OleautTestLib");
    EXPECT_EQ(text(doc), u"Automation runtime test library");
    SysFreeString(name);
    SysFreeString(doc);
    ASSERT_EQ(lib->GetDocumentation(2, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(text(name), u"TestObj");
    SysFreeString(name);

    ComPtr<ITypeInfo> none;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(makeGuid("00000000-1111-2222-3333-444444444444"), none.put()),
              TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(oleaut::typeInfoOf(nullptr, ITestObj::iid, none.put()), E_UNEXPECTED);
}

TEST(TypeLibrary, InterfaceMembersWithTheirParameters) {
    ComPtr<ITypeLib> lib = makeLibrary();
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(oleaut::typeInfoOf(lib.get(), ITestObj::iid, info.put()), S_OK);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->guid, ITestObj::iid);
    EXPECT_EQ(attr->cFuncs, 10);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);

    struct Expected {
        UINT index;
        MEMBERID memid;
        INVOKEKIND kind;
        WORD funcFlags;
        std::vector<std::pair<VARTYPE, USHORT>> params;  // VT_PTR marks a by-reference parameter
    };
    const Expected cases[] = {
        {0, 1, INVOKE_FUNC, 0, {{VT_I4, PARAMFLAG_FIN}, {VT_I4, PARAMFLAG_FIN}, {VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}}},
        {2, 2, INVOKE_PROPERTYPUT, 0, {{VT_BSTR, PARAMFLAG_FIN}}},
        {3, 3, INVOKE_FUNC, 0, {{VT_I4, PARAMFLAG_FIN}, {VT_PTR, PARAMFLAG_FOUT}, {VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}}},
        {6, DISPID_VALUE, INVOKE_PROPERTYGET, 0, {{VT_VARIANT, PARAMFLAG_FIN}, {VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}}},
        {7, DISPID_NEWENUM, INVOKE_PROPERTYGET, FUNCFLAG_FHIDDEN, {{VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}}},
        {8, 6, INVOKE_FUNC, FUNCFLAG_FHIDDEN, {{VT_I2, PARAMFLAG_FIN}, {VT_UI1, PARAMFLAG_FIN}}},
    };
    for (const Expected& e : cases) {
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(info->GetFuncDesc(e.index, &fd), S_OK);
        EXPECT_EQ(fd->memid, e.memid) << e.index;
        EXPECT_EQ(fd->invkind, e.kind) << e.index;
        EXPECT_EQ(fd->wFuncFlags, e.funcFlags) << e.index;
        EXPECT_EQ(fd->oVft, SHORT(28 + 4 * e.index));
        ASSERT_EQ(fd->cParams, SHORT(e.params.size())) << e.index;
        for (std::size_t p = 0; p < e.params.size(); ++p) {
            EXPECT_EQ(fd->lprgelemdescParam[p].tdesc.vt, e.params[p].first) << e.index << "/" << p;
            EXPECT_EQ(fd->lprgelemdescParam[p].paramdesc.wParamFlags, e.params[p].second) << e.index << "/" << p;
        }
        info->ReleaseFuncDesc(fd);
    }
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(info->GetFuncDesc(3, &fd), S_OK);  // Split's out values are 16-bit integers
    EXPECT_EQ(fd->lprgelemdescParam[1].tdesc.lptdesc->vt, VT_I2);
    info->ReleaseFuncDesc(fd);
    EXPECT_EQ(info->GetFuncDesc(10, &fd), TYPE_E_ELEMENTNOTFOUND);

    EXPECT_EQ(namesOf(info.get(), 1), (std::vector<std::u16string>{u"Add", u"a", u"b", u"sum"}));
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(info->GetDocumentation(1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(text(doc), u"Adds two numbers");
    SysFreeString(name);
    SysFreeString(doc);

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"check")};
    MEMBERID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, 4);

    ComPtr<ITypeLib> containing;
    UINT index = 99;
    ASSERT_EQ(info->GetContainingTypeLib(containing.put(), &index), S_OK);
    EXPECT_EQ(containing.get(), lib.get());
    EXPECT_EQ(index, 0u);
}

TEST(TypeLibrary, InvokeThroughTheTypeInfo) {
    ComPtr<ITypeLib> lib = makeLibrary();
    ComPtr<ITypeInfo> info = infoOf(lib.get(), ITestObj::iid);
    ComPtr<ITestObj> obj;
    ASSERT_EQ(oleaut::createObject<TestObj>(ITestObj::iid, obj.putVoid()), S_OK);
    Var args[2] = {Var(3), Var(4)};
    DISPPARAMS dp{args, nullptr, 2, 0};
    Var result;
    ASSERT_EQ(info->Invoke(obj.get(), 1, DISPATCH_METHOD, &dp, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(describe(result), "I4:7");

    ComPtr<ITypeInfo> fromObject;  // the object's own type information is the same description
    ASSERT_EQ(obj->GetTypeInfo(0, 0, fromObject.put()), S_OK);
    EXPECT_EQ(namesOf(fromObject.get(), 4), (std::vector<std::u16string>{u"Check", u"value", u"bResults"}));
}

TEST(TypeLibrary, CoclassNamesItsDefaultAndSourceInterfaces) {
    ComPtr<ITypeLib> lib = makeLibrary();
    ComPtr<ITypeInfo> cls = infoOf(lib.get(), CLSID_TestObj);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(cls->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->cImplTypes, 2);
    cls->ReleaseTypeAttr(attr);

    const std::pair<INT, IID> expected[] = {{IMPLTYPEFLAG_FDEFAULT, ITestObj::iid},
                                            {IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, ITestEvents::iid}};
    for (UINT i = 0; i < 2; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ASSERT_EQ(cls->GetImplTypeFlags(i, &flags), S_OK);
        EXPECT_EQ(flags, expected[i].first);
        ASSERT_EQ(cls->GetRefTypeOfImplType(i, &ref), S_OK);
        ComPtr<ITypeInfo> itf;
        ASSERT_EQ(cls->GetRefTypeInfo(ref, itf.put()), S_OK);
        ASSERT_EQ(itf->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->guid, expected[i].second);
        itf->ReleaseTypeAttr(attr);
    }
    HREFTYPE ref = 0;
    EXPECT_EQ(cls->GetRefTypeOfImplType(2, &ref), TYPE_E_ELEMENTNOTFOUND);
}

TEST(TypeLibrary, EnumerationAliasAndRecord) {
    ComPtr<ITypeLib> lib = makeLibrary();
    ComPtr<ITypeInfo> e = infoOf(lib.get(), GUID_TestColour);
    VARDESC* vd = nullptr;
    ASSERT_EQ(e->GetVarDesc(2, &vd), S_OK);
    EXPECT_EQ(vd->varkind, VAR_CONST);
    EXPECT_EQ(describe(*vd->lpvarValue), "I4:48");
    EXPECT_EQ(namesOf(e.get(), vd->memid), (std::vector<std::u16string>{u"Blue"}));
    e->ReleaseVarDesc(vd);
    EXPECT_EQ(e->GetVarDesc(3, &vd), TYPE_E_ELEMENTNOTFOUND);

    ComPtr<ITypeInfo> alias;
    ASSERT_EQ(lib->GetTypeInfo(4, alias.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(alias->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_ALIAS);
    ASSERT_EQ(attr->tdescAlias.vt, VT_USERDEFINED);
    ComPtr<ITypeInfo> target;
    ASSERT_EQ(alias->GetRefTypeInfo(attr->tdescAlias.hreftype, target.put()), S_OK);
    EXPECT_EQ(target.get(), e.get());
    alias->ReleaseTypeAttr(attr);
    BSTR name = nullptr;
    alias->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(text(name), u"TestColour");
    SysFreeString(name);

    ComPtr<ITypeInfo> rec = infoOf(lib.get(), GUID_TestPair);
    ASSERT_EQ(rec->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_RECORD);
    EXPECT_EQ(attr->cVars, 2);
    EXPECT_EQ(attr->cbSizeInstance, 4u);
    rec->ReleaseTypeAttr(attr);
    ASSERT_EQ(rec->GetVarDesc(1, &vd), S_OK);
    EXPECT_EQ(vd->varkind, VAR_PERINSTANCE);
    EXPECT_EQ(vd->oInst, 2u);
    EXPECT_EQ(vd->elemdescVar.tdesc.vt, VT_I2);
    EXPECT_EQ(namesOf(rec.get(), vd->memid), (std::vector<std::u16string>{u"second"}));
    rec->ReleaseVarDesc(vd);
}

TEST(TypeLibrary, OutlivesItsDescription) {
    ComPtr<ITypeInfo> info;
    {
        oleaut::InterfaceDesc itf{u"ITemp", makeGuid("12345678-0000-0000-0000-000000000001"), u"", 0, {}};
        itf.members.resize(2);
        itf.members[0].name = u"First";
        itf.members[1].name = u"Second";
        oleaut::TypeLibDesc desc;
        desc.name = u"Temp";
        desc.interfaces = {&itf};
        ComPtr<ITypeLib> lib;
        ASSERT_EQ(oleaut::CreateTypeLibFromDesc(desc, lib.put()), S_OK);
        ASSERT_EQ(lib->GetTypeInfo(0, info.put()), S_OK);
    }  // description and library reference gone; the type info keeps the library alive
    EXPECT_EQ(namesOf(info.get(), 2), (std::vector<std::u16string>{u"Second"}));  // ids were assigned
}
