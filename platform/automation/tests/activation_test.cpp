#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "oleaut/objbase.h"
#include "registry/winreg.h"
#include "test_object.h"
#include "test_support.h"

namespace {

// Runs a command; its exit status, with stdout and stderr in *output.
int run(const std::string& command, std::string* output = nullptr) {
    std::FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) text += buf;
    const int status = pclose(p);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<std::string> regText(const std::string& path, const char* name = "") {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    char data[1024];
    DWORD size = sizeof data, type = 0;
    const LSTATUS s = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (s != ERROR_SUCCESS) return std::nullopt;
    return std::string(data);
}

void setRegText(const std::string& path, const std::string& value, const char* name = "") {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    RegCloseKey(key);
}

std::string guidString(const GUID& g) {
    OLECHAR text[40];
    StringFromGUID2(g, text, 40);
    return std::string(text, text + 38);
}

bool isLoaded(const char* path) {
    void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

// Gives the running test a fresh hive of its own beside the scratch hive, so that tests running
// in parallel do not see each other's registrations. The previous hive path is restored at the end.
class OwnHive {
public:
    OwnHive() {
        const char* hive = std::getenv("ORU_REGISTRY");
        if (!hive) return;  // tests must never touch the user's registry
        saved_ = hive;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::filesystem::path own = std::filesystem::path(saved_).parent_path() /
                                          (std::string(test->test_suite_name()) + "." + test->name() + ".reg");
        std::filesystem::create_directories(own.parent_path());
        std::filesystem::remove(own);
        setenv("ORU_REGISTRY", own.c_str(), 1);
    }
    ~OwnHive() {
        if (!saved_.empty()) setenv("ORU_REGISTRY", saved_.c_str(), 1);
    }
    bool ready() const { return !saved_.empty(); }

private:
    std::string saved_;
};

// Registers the test server with the registration tool (so this process does not load it), and
// unregisters it afterwards.
class Activation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hive_.ready()) << "ORU_REGISTRY must name a scratch hive";
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        std::string out;
        ASSERT_EQ(run(std::string(REGSVR_TOOL " ") + server(), &out), 0) << out;
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        std::string out;
        EXPECT_EQ(run(std::string(REGSVR_TOOL " -u ") + server(), &out), 0) << out;
        CoUninitialize();
    }
    virtual const char* server() const { return TEST_SERVER; }

private:
    OwnHive hive_;
};

}  // namespace

TEST(GuidText, RoundTripsInUpperCaseWithBraces) {
    const GUID g = makeGuid("0a1b2c3d-4e5f-6a7b-8c9d-aebfc0d1e2f3");
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(g, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{0A1B2C3D-4E5F-6A7B-8C9D-AEBFC0D1E2F3}");
    EXPECT_EQ(StringFromGUID2(g, text, 38), 0);
    CLSID back{};
    ASSERT_EQ(CLSIDFromString(u"{0a1b2c3d-4e5f-6a7b-8c9d-aebfc0d1e2f3}", &back), S_OK);
    EXPECT_EQ(back, g);
    for (const char16_t* bad : {u"{0A1B2C3D-4E5F-6A7B-8C9D-AEBFC0D1E2F}", u"{0A1B2C3D-4E5F-6A7B-8C9DAAEBFC0D1E2F3}",
                                u"{0A1B2C3D-4E5F-6A7B-8C9D-AEBFC0D1E2FG}", u"{0A1B2C3D-4E5F-6A7B-8C9D-AEBFC0D1E2F3",
                                u"{}"})
        EXPECT_EQ(CLSIDFromString(bad, &back), CO_E_CLASSSTRING);
}

TEST(Apartment, InitialisationsNestAndCreationNeedsOne) {
    std::thread([] {
        ComPtr<IUnknown> obj;
        EXPECT_EQ(CoCreateInstance(CLSID_TestObj, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, obj.putVoid()),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        MULTI_QI qi{&IID_IUnknown, nullptr, S_OK};
        EXPECT_EQ(CoCreateInstanceEx(CLSID_TestObj, nullptr, CLSCTX_INPROC_SERVER, nullptr, 1, &qi), CO_E_NOTINITIALIZED);
        EXPECT_EQ(qi.hr, CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoGetClassObject(CLSID_TestObj, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, obj.putVoid()),
                  CO_E_NOTINITIALIZED);
    }).join();
}

TEST_F(Activation, ProgIdsLeadToTheClass) {
    CLSID clsid{};
    for (const char16_t* progId : {u"OleautTest.TestObj.1", u"OleautTest.TestObj", u"oleauttest.testobj"}) {
        clsid = GUID_NULL;
        ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_TestObj);
    }
    ASSERT_EQ(CLSIDFromString(u"OleautTest.TestObj", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestObj);
    for (const char16_t* bad : {u"OleautTest.Nothing", u"", u"OleautTest.TestObj\\CLSID"})
        EXPECT_EQ(CLSIDFromProgID(bad, &clsid), CO_E_CLASSSTRING);

    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestObj, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), u"OleautTest.TestObj.1");
    CoTaskMemFree(progId);
    EXPECT_EQ(ProgIDFromCLSID(LIBID_TestLib, &progId), REGDB_E_CLASSNOTREG);

    // ProgIDs that point at each other through CurVer end in an error, not a hang.
    setRegText("OleautTest.LoopA\\CurVer", "OleautTest.LoopB");
    setRegText("OleautTest.LoopB\\CurVer", "OleautTest.LoopA");
    EXPECT_EQ(CLSIDFromProgID(u"OleautTest.LoopA", &clsid), CO_E_CLASSSTRING);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "OleautTest.LoopA");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "OleautTest.LoopB");
}

TEST_F(Activation, CreatesObjectsInTheServerLibrary) {
    ComPtr<ITestObj> obj;
    ASSERT_EQ(CoCreateInstance(CLSID_TestObj, nullptr, CLSCTX_ALL, ITestObj::iid, obj.putVoid()), S_OK);
    LONG sum = 0;
    ASSERT_EQ(obj->Add(20, 22, &sum), S_OK);
    EXPECT_EQ(sum, 42);
    EXPECT_TRUE(isLoaded(TEST_SERVER));

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestObj, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()), S_OK);
    ComPtr<IUnknown> second;
    FakeObject outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, second.putVoid()), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, second.putVoid()), S_OK);

    EXPECT_EQ(CoCreateInstance(CLSID_TestObj, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, second.putVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(LIBID_TestLib, nullptr, CLSCTX_ALL, IID_IUnknown, second.putVoid()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestObj, nullptr, CLSCTX_ALL, IID_IClassFactory, second.putVoid()), E_NOINTERFACE);
}

TEST_F(Activation, LibrariesThatCannotServe) {
    const GUID missing = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E10");
    const GUID notServer = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E11");
    setRegText("CLSID\\" + guidString(missing) + "\\InprocServer32", "/nonexistent/libnothing.so");
    setRegText("CLSID\\" + guidString(notServer) + "\\InprocServer32", NOT_A_SERVER);
    ComPtr<IUnknown> obj;
    testing::internal::CaptureStderr();
    EXPECT_EQ(CoCreateInstance(missing, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), CO_E_DLLNOTFOUND);
    EXPECT_EQ(CoCreateInstance(notServer, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), CO_E_ERRORINDLL);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("/nonexistent/libnothing.so"), std::string::npos) << messages;
    EXPECT_NE(messages.find("DllGetClassObject"), std::string::npos) << messages;
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + guidString(missing)).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + guidString(notServer)).c_str());
}

TEST_F(Activation, UnusedLibrariesAreUnloadedOnlyWhenTheyAgree) {
    ComPtr<IUnknown> obj;
    ASSERT_EQ(CoCreateInstance(CLSID_TestObj, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(isLoaded(TEST_SERVER));  // an object is alive

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestObj, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.putVoid()), S_OK);
    factory->LockServer(TRUE);
    factory.reset();
    obj.reset();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(isLoaded(TEST_SERVER));  // locked

    ASSERT_EQ(CoGetClassObject(CLSID_TestObj, CLSCTX_ALL, nullptr, IID_IClassFactory, factory.putVoid()), S_OK);
    factory->LockServer(FALSE);
    factory.reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(isLoaded(TEST_SERVER));

    // Loaded again on demand.
    ASSERT_EQ(CoCreateInstance(CLSID_TestObj, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), S_OK);
    EXPECT_TRUE(isLoaded(TEST_SERVER));
}

TEST_F(Activation, CreateInstanceExOnThisHostAndElsewhere) {
    const IID other = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E12");
    MULTI_QI qi[3] = {{&IID_IUnknown, nullptr, S_OK}, {&ITestObj::iid, nullptr, S_OK}, {&other, nullptr, S_OK}};
    ASSERT_EQ(CoCreateInstanceEx(CLSID_TestObj, nullptr, CLSCTX_ALL, nullptr, 2, qi), S_OK);
    EXPECT_TRUE(qi[0].pItf && qi[1].pItf);
    for (int i = 0; i < 2; ++i) qi[i].pItf->Release();

    char host[HOST_NAME_MAX + 1] = {};
    gethostname(host, sizeof host - 1);
    std::u16string hostName(host, host + std::strlen(host));
    COSERVERINFO here{0, hostName.data(), nullptr, 0};
    ASSERT_EQ(CoCreateInstanceEx(CLSID_TestObj, nullptr, CLSCTX_REMOTE_SERVER, &here, 3, qi), CO_S_NOTALLINTERFACES);
    EXPECT_EQ(qi[1].hr, S_OK);
    EXPECT_EQ(qi[2].hr, E_NOINTERFACE);
    EXPECT_EQ(qi[2].pItf, nullptr);
    for (int i = 0; i < 2; ++i) qi[i].pItf->Release();

    EXPECT_EQ(CoCreateInstanceEx(CLSID_TestObj, nullptr, CLSCTX_ALL, nullptr, 0, qi), E_INVALIDARG);
}

TEST(RegistrationTool, RegistersAndUnregisters) {
    OwnHive hive;
    ASSERT_TRUE(hive.ready());
    const std::string classKey = "CLSID\\" + guidString(CLSID_TestObj);
    std::string out;
    ASSERT_EQ(run(REGSVR_TOOL " " TEST_SERVER, &out), 0) << out;
    EXPECT_NE(out.find("DllRegisterServer"), std::string::npos) << out;
    char path[PATH_MAX];
    ASSERT_TRUE(realpath(TEST_SERVER, path));
    EXPECT_EQ(regText(classKey + "\\InprocServer32"), std::string(path));
    ASSERT_EQ(run(REGSVR_TOOL " -u " TEST_SERVER, &out), 0) << out;
    EXPECT_FALSE(regText(classKey));
    EXPECT_FALSE(regText("OleautTest.TestObj"));
}

TEST(RegistrationTool, ReportsFailures) {
    std::string out;
    EXPECT_EQ(run(REGSVR_TOOL, &out), 2);
    EXPECT_NE(out.find("usage"), std::string::npos);
    EXPECT_EQ(run(REGSVR_TOOL " /nonexistent/libnothing.so", &out), 1);
    EXPECT_NE(out.find("cannot find /nonexistent/libnothing.so"), std::string::npos) << out;
    EXPECT_EQ(run(REGSVR_TOOL " " NOT_A_SERVER, &out), 1);
    EXPECT_NE(out.find("does not export DllRegisterServer"), std::string::npos) << out;
}

namespace {
class TypeLibRegistration : public Activation {
protected:
    const char* server() const override { return TEST_TYPELIB_SERVER; }
};
}  // namespace

TEST_F(TypeLibRegistration, RegistryEntriesAndLoadingBack) {
    const std::string lib = "TypeLib\\" + guidString(LIBID_TestLib) + "\\1.2";
    EXPECT_EQ(regText(lib), "Automation runtime test library");
    char path[PATH_MAX];
    ASSERT_TRUE(realpath(TEST_TYPELIB_SERVER, path));
    EXPECT_EQ(regText(lib + "\\0\\win32"), std::string(path));
    EXPECT_EQ(regText(lib + "\\FLAGS"), "0");
    EXPECT_TRUE(regText(lib + "\\HELPDIR"));
    const std::string itf = "Interface\\" + guidString(ITestObj::iid);
    EXPECT_EQ(regText(itf), "ITestObj");
    EXPECT_EQ(regText(itf + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(regText(itf + "\\TypeLib"), guidString(LIBID_TestLib));
    EXPECT_EQ(regText(itf + "\\TypeLib", "Version"), "1.2");
    EXPECT_EQ(regText("Interface\\" + guidString(ITestEvents::iid) + "\\ProxyStubClsid32"),
              "{00020420-0000-0000-C000-000000000046}");

    ComPtr<ITypeLib> loaded;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TestLib, 1, 0, 0x409, loaded.put()), S_OK);
    BSTR name = nullptr;
    loaded->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(text(name), u"OleautTestLib");
    SysFreeString(name);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestLib, 1, 3, 0, loaded.put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestLib, 2, 0, 0, loaded.put()), TYPE_E_LIBNOTREGISTERED);

    // Unregistering removes the library's entries and its interfaces, and nothing else.
    const std::string foreign = "Interface\\{6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E13}";
    setRegText(foreign, "IForeign");
    setRegText(foreign + "\\TypeLib", "{6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E14}");
    setRegText(foreign + "\\TypeLib", "1.2", "Version");
    ASSERT_EQ(UnRegisterTypeLib(LIBID_TestLib, 1, 2, 0, SYS_WIN32), S_OK);
    EXPECT_FALSE(regText("TypeLib\\" + guidString(LIBID_TestLib)));
    EXPECT_FALSE(regText(itf));
    EXPECT_EQ(regText(foreign), "IForeign");
    EXPECT_EQ(UnRegisterTypeLib(LIBID_TestLib, 1, 2, 0, SYS_WIN32), TYPE_E_LIBNOTREGISTERED);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, foreign.c_str());
}

TEST(BrokenHive, ReportedAsUnreadableAndLeftAlone) {
    const char* hive = std::getenv("ORU_REGISTRY");
    ASSERT_NE(hive, nullptr);
    const std::string saved = hive, broken = saved + ".broken";
    const std::string garbage = "this is not a registry export\n[HKEY_CLASSES_ROOT\n";
    std::FILE* f = std::fopen(broken.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs(garbage.c_str(), f);
    std::fclose(f);
    setenv("ORU_REGISTRY", broken.c_str(), 1);

    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    testing::internal::CaptureStderr();
    CLSID clsid{};
    ComPtr<IUnknown> obj;
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(oleaut::CreateTypeLibFromDesc(TestObj::libraryDesc(), lib.put()), S_OK);
    EXPECT_EQ(CLSIDFromProgID(u"OleautTest.TestObj", &clsid), REGDB_E_READREGDB);
    EXPECT_EQ(CoCreateInstance(CLSID_TestObj, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), REGDB_E_READREGDB);
    EXPECT_EQ(RegisterTypeLib(lib.get(), u"/tmp/libtest.so", nullptr), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(UnRegisterTypeLib(LIBID_TestLib, 1, 2, 0, SYS_WIN32), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestLib, 1, 2, 0, lib.put()), TYPE_E_REGISTRYACCESS);
    testing::internal::GetCapturedStderr();
    CoUninitialize();

    setenv("ORU_REGISTRY", saved.c_str(), 1);
    f = std::fopen(broken.c_str(), "r");
    ASSERT_TRUE(f);
    char buf[128] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), garbage);  // never overwritten
    std::remove(broken.c_str());
}
