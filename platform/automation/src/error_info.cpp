// Error objects and the per-thread current error object.
#include "error_info.h"

#include <string>

#include "com_base.h"
#include "oleaut/com_object.h"
#include "oleaut/oleauto.h"
#include "text.h"

using namespace oleaut::detail;

namespace {

thread_local ComPtr<IErrorInfo> currentError;

// A copy of text as a BSTR; an empty text is the null BSTR.
BSTR copyText(const std::u16string& text) {
    return text.empty() ? nullptr : SysAllocStringLen(text.data(), UINT(text.size()));
}

HRESULT giveText(const std::u16string& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = copyText(text);
    return *out || text.empty() ? S_OK : E_OUTOFMEMORY;
}

class ErrorObject final : public ComBase<IErrorInfo, ICreateErrorInfo> {
public:
    HRESULT GetGUID(GUID* pGUID) override {
        if (!pGUID) return E_INVALIDARG;
        *pGUID = guid_;
        return S_OK;
    }
    HRESULT GetSource(BSTR* out) override { return giveText(source_, out); }
    HRESULT GetDescription(BSTR* out) override { return giveText(description_, out); }
    HRESULT GetHelpFile(BSTR* out) override { return giveText(helpFile_, out); }
    HRESULT GetHelpContext(DWORD* out) override {
        if (!out) return E_INVALIDARG;
        *out = helpContext_;
        return S_OK;
    }

    HRESULT SetGUID(REFGUID rguid) override {
        guid_ = rguid;
        return S_OK;
    }
    HRESULT SetSource(LPOLESTR text) override { return assign(source_, text); }
    HRESULT SetDescription(LPOLESTR text) override { return assign(description_, text); }
    HRESULT SetHelpFile(LPOLESTR text) override { return assign(helpFile_, text); }
    HRESULT SetHelpContext(DWORD context) override {
        helpContext_ = context;
        return S_OK;
    }

private:
    static HRESULT assign(std::u16string& field, LPOLESTR text) {
        field = viewOf(text);
        return S_OK;
    }
    GUID guid_{};
    std::u16string source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

}  // namespace

namespace oleaut::detail {
ComPtr<IErrorInfo> peekErrorInfo() { return currentError; }
}  // namespace oleaut::detail

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = nullptr;
    return handOut(makeObject<ErrorObject>(), pperrinfo);
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
    currentError = ComPtr<IErrorInfo>(perrinfo);
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = currentError.detach();
    return *pperrinfo ? S_OK : S_FALSE;
}

namespace oleaut {

void setErrorInfo(std::u16string_view description, std::u16string_view source, REFIID iid) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    std::u16string text(description), from(source);
    create->SetDescription(text.data());
    create->SetSource(from.data());
    create->SetGUID(iid);
    SetErrorInfo(0, create.as<IErrorInfo>().get());
}

}  // namespace oleaut
