#include "component_fixture.h"

#include <dlfcn.h>

namespace direzo::testing {

namespace {

HRESULT callExport(const char* name) {
    void* lib = dlopen(ORU_COMPONENT_PATH, RTLD_NOW);
    if (!lib) return CO_E_DLLNOTFOUND;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(lib, name));
    const HRESULT hr = fn ? fn() : CO_E_ERRORINDLL;
    dlclose(lib);
    return hr;
}

}  // namespace

ComponentTest::ComponentTest(std::optional<std::string> benchJson) {
    if (benchJson) bench_.emplace(*benchJson);
    else bench_.emplace();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(registerComponent(), S_OK);
}

ComponentTest::~ComponentTest() {
    CoFreeUnusedLibraries();
    CoUninitialize();
}

HRESULT ComponentTest::registerComponent() { return callExport("DllRegisterServer"); }
HRESULT ComponentTest::unregisterComponent() { return callExport("DllUnregisterServer"); }

ComPtr<IAdapters> ComponentTest::adapters() { return create<IAdapters>(u"OruDirEzo.Adapters"); }

ComPtr<IAdapter> ComponentTest::adapter(const char16_t* key) {
    ComPtr<IAdapter> out;
    auto all = adapters();
    if (!all) return out;
    VARIANT index = variantOf(key);
    all->get_Item(index, out.put());
    VariantClear(&index);
    return out;
}

std::optional<ErrorText> takeError() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return std::nullopt;
    ErrorText text;
    BSTR b = nullptr;
    info->GetDescription(&b);
    text.description.assign(b ? b : u"", b ? SysStringLen(b) : 0);
    SysFreeString(b);
    b = nullptr;
    info->GetSource(&b);
    text.source.assign(b ? b : u"", b ? SysStringLen(b) : 0);
    SysFreeString(b);
    return text;
}

VARIANT variantOf(LONG v) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_I4;
    out.lVal = v;
    return out;
}

VARIANT variantOf(const char16_t* text) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_BSTR;
    out.bstrVal = SysAllocString(text);
    return out;
}

}  // namespace direzo::testing
