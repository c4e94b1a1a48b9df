#include "component_activation.h"

#include "automation_error.h"
#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"

namespace kestview {

namespace {

constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = hresult(0x80080005);

[[noreturn]] void creationFailed(HRESULT hr, const char16_t* progId, const QString& host) {
    QString what = QStringLiteral("Cannot create object %1").arg(QString::fromUtf16(progId));
    if (!host.isEmpty()) what += QStringLiteral(" on host %1").arg(host);
    throw AutomationError(hr, QString::fromUtf16(kConsoleSource), what);
}

}  // namespace

ComPtr<IDispatch> createObject(const char16_t* progId, const QString& host) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) creationFailed(hr, progId, host);
    ComPtr<IDispatch> disp;
    if (host.isEmpty()) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, disp.putVoid());
    } else {
        std::u16string server = host.toStdU16String();
        COSERVERINFO info{0, server.data(), nullptr, 0};
        MULTI_QI qi{&IID_IDispatch, nullptr, S_OK};
        hr = CoCreateInstanceEx(clsid, nullptr, CLSCTX_REMOTE_SERVER, &info, 1, &qi);
        if (SUCCEEDED(hr)) hr = qi.hr;
        if (SUCCEEDED(hr)) disp = ComPtr<IDispatch>::attach(static_cast<IDispatch*>(qi.pItf));
        else if (qi.pItf) qi.pItf->Release();
    }
    if (FAILED(hr)) creationFailed(hr, progId, host);
    if (!disp) creationFailed(E_NOINTERFACE, progId, host);
    return disp;
}

Adapters createLocalAdapters() { return Adapters(createObject(kAdaptersProgId, {})); }

RemoteProvider RemoteProvider::create(const QString& host) {
    return RemoteProvider(createObject(kRemoteProviderProgId, host));
}

Adapters RemoteProvider::adapters() const {
    if (!*this) raiseConsoleError(kObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
    DISPID first = 1;
    WORD flags = DISPATCH_METHOD;
    ComPtr<ITypeInfo> info;
    FUNCDESC* desc = nullptr;
    if (SUCCEEDED(dispatch()->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) && info &&
        SUCCEEDED(info->GetFuncDesc(0, &desc)) && desc) {
        first = desc->memid;
        flags = desc->invkind == INVOKE_PROPERTYGET ? DISPATCH_PROPERTYGET | DISPATCH_METHOD : DISPATCH_METHOD;
        info->ReleaseFuncDesc(desc);
    }
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO excep{};
    const HRESULT hr = dispatch()->Invoke(first, GUID_NULL, LOCALE_USER_DEFAULT, flags, &none, &result, &excep, nullptr);
    Variant value;
    *value.get() = result;  // takes ownership
    const QString source = toQString(excep.bstrSource), description = toQString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    if (FAILED(hr))
        throw AutomationError(hr == DISP_E_EXCEPTION && excep.scode ? excep.scode : hr,
                              source.isEmpty() ? interfaceName() : source,
                              description.isEmpty() ? QStringLiteral("The remote provider handed out no adapters")
                                                    : description);
    return Adapters(value.toDispatch("clsAdapters"));
}

qint32 creationErrorNumber(HRESULT hr) {
    switch (hr) {
    case E_ACCESSDENIED: return 70;
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
    case CLASS_E_CLASSNOTAVAILABLE:
    case CO_E_SERVER_EXEC_FAILURE:
    case CO_E_DLLNOTFOUND:
    case E_NOINTERFACE: return 429;
    case RPC_S_SERVER_UNAVAILABLE: return 462;
    default: return hr;
    }
}

}  // namespace kestview
