#include "adapters/adapters.h"

#include <cstring>

#include "adapters/adapter.h"
#include "common/text.h"

namespace direzo {

namespace {

// A text field of the registry information record, which need not be NUL-terminated.
std::string field(const CHAR (&text)[260]) { return std::string(text, strnlen(text, sizeof text)); }

ComPtr<IAdapter> makeAdapter() {
    IAdapter* adapter = nullptr;
    if (FAILED(oleaut::createObject<Adapter>(IAdapter::iid, reinterpret_cast<void**>(&adapter)))) return {};
    return ComPtr<IAdapter>::attach(adapter);
}

void setText(IAdapter& adapter, HRESULT (IAdapter::*setter)(BSTR), const std::string& text) {
    BSTR b = toBstr(fromAnsi(text));
    (adapter.*setter)(b);
    SysFreeString(b);
}

}  // namespace

const oleaut::InterfaceDesc& Adapters::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(
        u"IAdapters", IAdapters::iid,
        {
            oleaut::propget<&IAdapters::get_Count>(u"Count"),
            oleaut::newEnumMember<&IAdapters::get__NewEnum>(),
            oleaut::itemMember<&IAdapters::get_Item>(),
        });
    return desc;
}

Adapters::Adapters() {
    for (const std::string& key : listingSession_.ListAdapterKeys()) {
        addAdapter(key);
        Sleep(5);
    }
}

// Reads one adapter key's registry information; a key whose information cannot be read (not an
// adapter's) is left out.
void Adapters::addAdapter(const std::string& key) {
    std::string symbolicLink = "Unknown";
    const std::string productName = "Unknown";
    std::string keyCopy;
    AdapterRegistryInfo info{};
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (W32N_GetAdapterRegistryInfo(&info, key.c_str()) != 0) return;
        keyCopy = key.substr(0, 16);
    } else if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        keyCopy = key.substr(0, 16);
        if (W32N_GetAdapterRegistryInfo(&info, key.c_str()) != 0) return;
        symbolicLink = keyCopy;
    } else {
        return;
    }
    ComPtr<IAdapter> adapter = makeAdapter();
    if (!adapter) return;
    const std::string first = field(info.firstText), second = field(info.secondText), third = field(info.thirdText);
    setText(*adapter, &IAdapter::setProductName, productName);
    setText(*adapter, &IAdapter::setLabel, !second.empty() ? second : first);
    setText(*adapter, &IAdapter::setServiceName, third);
    setText(*adapter, &IAdapter::setDescription, !first.empty() ? first : second);
    setText(*adapter, &IAdapter::setSymbolicLink, symbolicLink);
    setText(*adapter, &IAdapter::setEnumerator, keyCopy);
    setText(*adapter, &IAdapter::setTitle, second);
    adapters_.items()[fromAnsi(keyCopy)] = adapter;
}

HRESULT Adapters::get_Count(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = adapters_.count();
    return S_OK;
}

HRESULT Adapters::get__NewEnum(IUnknown** pVal) { return adapters_.newEnum(EnumOrder::Ascending, pVal); }

HRESULT Adapters::get_Item(VARIANT Index, IAdapter** pVal) {
    return adapters_.item(Index, false, "IAdapters", pVal,
                   [this](HRESULT status, const std::u16string& text) { return error(status, text); });
}

}  // namespace direzo
