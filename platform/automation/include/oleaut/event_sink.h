// The receiving end of a connection point: an IDispatch that answers one outgoing (event)
// interface, finds its events by name (without regard to case) or dispatch id, and hands each
// event to the derived class. Created with new and owned through its reference count.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "oleaut/oaidl.h"

namespace oleaut {

class EventSink : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::u16string name;
    };

    EventSink(const IID& events, std::vector<Event> known);
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    // An event this sink does not know answers DISP_E_MEMBERNOTFOUND, named arguments
    // DISP_E_NONAMEDARGS; the result, if asked for, is empty.
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override;

protected:
    virtual ~EventSink() = default;
    // One event, its arguments in reverse order as the source passed them.
    virtual HRESULT onEvent(const Event& event, const DISPPARAMS& params) = 0;

private:
    std::atomic<long> refs_{0};
    IID events_;
    std::vector<Event> known_;
};

}  // namespace oleaut
