// What every class of the component shares: registration, class objects and unloading, the type
// library, dispatch and error information.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "common/text.h"
#include "component_fixture.h"
#include "direzo/classes.h"
#include "oleaut/ocidl.h"
#include "registry/winreg.h"

namespace direzo::testing {
namespace {

bool keyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string value(const std::string& path, const char* name = "") {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    char data[1024] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(data) : "<no value>";
}

std::string guidText(const GUID& g) {
    OLECHAR text[40];
    StringFromGUID2(g, text, 40);
    return toAnsi(text);
}

class ServerTest : public ComponentTest {};

TEST_F(ServerTest, RegistrationWritesEveryClass) {
    for (const ClassDescriptor* c : kAllClasses) {
        const std::string progId = toAnsi(c->progId), versioned = toAnsi(c->versionedProgId);
        const std::string clsid = guidText(c->clsid), classKey = "CLSID\\" + clsid;
        SCOPED_TRACE(progId);
        EXPECT_EQ(value(versioned), toAnsi(c->displayName));
        EXPECT_EQ(value(versioned + "\\CLSID"), clsid);
        EXPECT_EQ(value(progId + "\\CLSID"), clsid);
        EXPECT_EQ(value(progId + "\\CurVer"), versioned);
        EXPECT_EQ(value(classKey), toAnsi(c->displayName));
        EXPECT_EQ(value(classKey + "\\ProgID"), versioned);
        EXPECT_EQ(value(classKey + "\\VersionIndependentProgID"), progId);
        EXPECT_TRUE(keyExists(classKey + "\\Programmable"));
        EXPECT_NE(value(classKey + "\\InprocServer32").find("liboruDirEzo"), std::string::npos);
        EXPECT_EQ(value(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
        EXPECT_EQ(value(classKey + "\\TypeLib"), guidText(LIBID_DIREZOLib));
    }
    // The adapter class's two ProgIDs differ in the case of one letter.
    EXPECT_EQ(value("OruDirEzo.adapter\\CurVer"), "OruDirEzo.Adapter.1");
}

TEST_F(ServerTest, UnregistrationRemovesTheClassesAndKeepsTheClsidRoot) {
    ASSERT_EQ(unregisterComponent(), S_OK);
    for (const ClassDescriptor* c : kAllClasses) {
        EXPECT_FALSE(keyExists("CLSID\\" + guidText(c->clsid)));
        EXPECT_FALSE(keyExists(toAnsi(c->progId)));
        EXPECT_FALSE(keyExists(toAnsi(c->versionedProgId)));
    }
    EXPECT_TRUE(keyExists("CLSID"));
    HRESULT hr = S_OK;
    EXPECT_FALSE(create<IAdapters>(u"OruDirEzo.Adapters", &hr));
    EXPECT_TRUE(FAILED(hr));
}

// DllCanUnloadNow as the runtime sees it: the library stays loaded while an object or a server
// lock is alive.
TEST_F(ServerTest, LibraryStaysWhileAnObjectOrALockLives) {
    using CanUnload = HRESULT (*)();
    void* lib = dlopen(ORU_COMPONENT_PATH, RTLD_NOW | RTLD_NOLOAD);
    auto adapters = this->adapters();
    ASSERT_TRUE(adapters);
    if (!lib) lib = dlopen(ORU_COMPONENT_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    auto canUnload = reinterpret_cast<CanUnload>(dlsym(lib, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    adapters.reset();
    EXPECT_EQ(canUnload(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(kTalliesClass.clsid, CLSCTX_INPROC_SERVER, nullptr, IClassFactory::iid,
                               factory.putVoid()),
              S_OK);
    factory->LockServer(TRUE);
    factory.reset();
    EXPECT_EQ(canUnload(), S_FALSE);
    // A lock is released through a class object too.
    ASSERT_EQ(CoGetClassObject(kTalliesClass.clsid, CLSCTX_INPROC_SERVER, nullptr, IClassFactory::iid,
                               factory.putVoid()),
              S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    // A release without a matching lock is refused: the count stays at zero, so the library can
    // still be unloaded once the class object goes.
    EXPECT_EQ(factory->LockServer(FALSE), E_UNEXPECTED);
    EXPECT_EQ(canUnload(), S_FALSE);  // the class object itself is still held
    factory.reset();
    EXPECT_EQ(canUnload(), S_OK);
    dlclose(lib);
}

TEST_F(ServerTest, TypeLibraryDescribesItself) {
    auto adapters = this->adapters();
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(adapters->GetTypeInfo(0, 0, info.put()), S_OK);
    ComPtr<ITypeLib> lib;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(lib.put(), &index), S_OK);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(fromBstr(name), u"DIREZOLib");
    EXPECT_EQ(fromBstr(doc), u"Maravent Vireo DirEzo 2.0.0.16 Type Library");
    SysFreeString(name);
    SysFreeString(doc);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, 2);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 1033u);
    lib->ReleaseTLibAttr(attr);
    ComPtr<ITypeInfo> rids;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(kRidsClass.clsid, rids.put()), S_OK);
    BSTR coclassName = nullptr;
    rids->GetDocumentation(-1, &coclassName, nullptr, nullptr, nullptr);
    EXPECT_EQ(fromBstr(coclassName), u"RIDs");
    SysFreeString(coclassName);
}

TEST_F(ServerTest, DispatchIdsFollowSlotOrderWithItemAndNewEnumStandard) {
    auto adapters = this->adapters();
    struct Case {
        const char16_t* name;
        DISPID id;
    };
    for (const Case& c : {Case{u"Count", 1}, Case{u"_NewEnum", DISPID_NEWENUM}, Case{u"Item", DISPID_VALUE},
                          Case{u"item", DISPID_VALUE}}) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = 99;
        EXPECT_EQ(adapters->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), S_OK);
        EXPECT_EQ(id, c.id);
    }
    // Item through Invoke: arguments in reverse order, the error reaching the caller.
    VARIANT arg = variantOf(0);
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep{};
    EXPECT_EQ(adapters->Invoke(DISPID_VALUE, GUID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result,
                               &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    EXPECT_EQ(fromBstr(excep.bstrDescription), u"IAdapters : Index 0 not found or is an invalid index");
    EXPECT_EQ(fromBstr(excep.bstrSource), u"OruDirEzo.Adapters.1");
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
}

TEST_F(ServerTest, ErrorInformationIsSupportedForTheDefaultInterfaceOnly) {
    auto adapters = this->adapters();
    auto support = adapters.as<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IAdapters::iid), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IDispatch::iid), S_FALSE);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IAdapter::iid), S_FALSE);
}

TEST_F(ServerTest, AdaptersAndVireoAcceptConnections) {
    auto adapters = this->adapters();
    auto container = adapters.as<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(_IAdaptersEvents::iid, point.put()), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(IAdapters::iid, point.put()), CONNECT_E_NOCONNECTION);
    auto vireo = create<IDispatch>(u"OruDirEzo.Vireo");
    ASSERT_TRUE(vireo);
    EXPECT_TRUE(vireo.as<IConnectionPointContainer>());
    EXPECT_FALSE(create<IDispatch>(u"OruDirEzo.Tallies").as<IConnectionPointContainer>());
}

TEST_F(ServerTest, EveryClassIsCreatableByBothProgIds) {
    for (const ClassDescriptor* c : kAllClasses) {
        const std::u16string progId(c->progId), versioned(c->versionedProgId);
        for (const auto& id : {progId, versioned}) {
            HRESULT hr = E_FAIL;
            EXPECT_TRUE(create<IDispatch>(id.c_str(), &hr)) << toAnsi(id);
            EXPECT_EQ(hr, S_OK);
        }
    }
}

}  // namespace
}  // namespace direzo::testing
