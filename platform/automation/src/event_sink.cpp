#include "oleaut/event_sink.h"

#include <algorithm>

#include "oleaut/oleauto.h"
#include "text.h"

namespace oleaut {

EventSink::EventSink(const IID& events, std::vector<Event> known) : events_(events), known_(std::move(known)) {}

HRESULT EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != events_) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG EventSink::AddRef() { return ULONG(refs_.fetch_add(1) + 1); }

ULONG EventSink::Release() {
    const long left = refs_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return ULONG(left);
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

// Only the first name (the event's) can be known: events take no named arguments.
HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i == 0 && names[0])
            for (const Event& e : known_)
                if (detail::equalsIgnoreCase(e.name, names[0])) ids[0] = e.id;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
    const auto event = std::find_if(known_.begin(), known_.end(), [id](const Event& e) { return e.id == id; });
    if (event == known_.end()) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cNamedArgs) return DISP_E_NONAMEDARGS;
    if (result) VariantInit(result);
    static const DISPPARAMS none{};
    return onEvent(*event, params ? *params : none);
}

}  // namespace oleaut
