#include "event_sink.h"

#include <atomic>
#include <string>
#include <vector>

#include "convert.h"
#include "dispatch_client.h"
#include "errors.h"
#include "oleaut/ocidl.h"
#include "oleaut/oleauto.h"
#include "text.h"

namespace pyoleaut {

namespace {

bool pythonAlive() { return Py_IsInitialized() && !_Py_IsFinalizing(); }

// The sink handed to a connection point: an IDispatch that answers the event interface and turns
// each event into a call of the Python method of the same name. Events the Python object has no
// method for are accepted and ignored; a handler's exception is reported as unraisable (the
// source goes on), since the event source ignores what its sinks answer. KeyboardInterrupt and
// SystemExit stop further handlers and are raised when the call that fired the event returns.
class EventSink final : public IDispatch {
public:
    EventSink(const IID& iid, std::shared_ptr<const TypeMembers> events, py::object target)
        : iid_(iid), events_(std::move(events)), target_(std::move(target)) {}
    ~EventSink() {
        if (!pythonAlive()) {
            target_.release();  // the interpreter is gone: nothing left to release it to
            return;
        }
        py::gil_scoped_acquire gil;
        target_ = py::object();
    }
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != iid_) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ULONG(refs_.fetch_add(1) + 1); }
    ULONG Release() override {
        const long left = refs_.fetch_sub(1) - 1;
        if (left == 0) delete this;
        return ULONG(left);
    }

    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i == 0)
                for (const auto& m : events_->members)
                    if (names[0] && sameName(m.name, names[0])) ids[0] = m.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        const MemberInfo* m = events_->findId(id);
        if (!m) return DISP_E_MEMBERNOTFOUND;
        if (params && params->cNamedArgs) return DISP_E_NONAMEDARGS;
        if (result) VariantInit(result);
        if (!pythonAlive()) return S_OK;
        py::gil_scoped_acquire gil;
        if (interruptPending()) return S_OK;  // the script is being stopped: no more handlers
        try {
            py::object handler = py::getattr(target_, toPython(m->name), py::none());
            if (handler.is_none()) return S_OK;
            const UINT n = params ? params->cArgs : 0;
            py::tuple args(n);
            for (UINT i = 0; i < n; ++i) args[i] = fromVariant(params->rgvarg[n - 1 - i]);
            handler(*args);
        } catch (py::error_already_set& e) {
            if (e.matches(PyExc_Exception)) e.discard_as_unraisable(("handler of event " + toUtf8(m->name)).c_str());
            else keepPendingInterrupt(e);  // KeyboardInterrupt, SystemExit: raised when the call returns
        }
        return S_OK;
    }

private:
    std::atomic<long> refs_{0};
    IID iid_;
    std::shared_ptr<const TypeMembers> events_;
    py::object target_;
};

struct Candidate {
    ComPtr<IConnectionPoint> point;
    IID iid{};
    std::shared_ptr<const TypeMembers> events;  // null when the type library does not describe it
};

std::u16string eventNames(const TypeMembers& events) {
    std::u16string s;
    for (const auto& n : events.names()) s += (s.empty() ? u"" : u", ") + n;
    return s;
}

bool handlesAny(py::handle sink, const TypeMembers& events) {
    for (const auto& m : events.members)
        if (py::hasattr(sink, toPython(m.name))) return true;
    return false;
}

ComPtr<IConnectionPointContainer> containerOf(const DispatchClient& source) {
    ComPtr<IConnectionPointContainer> cpc;
    source.get()->QueryInterface(IID_IConnectionPointContainer, cpc.putVoid());
    if (!cpc)
        throw AutomationError{CONNECT_E_NOCONNECTION,
                              source.interfaceName() + u" has no events (it is not a connection-point container)", {}};
    return cpc;
}

std::vector<Candidate> connectionPoints(const DispatchClient& source) {
    ComPtr<IConnectionPointContainer> cpc = containerOf(source);
    ComPtr<ITypeLib> lib;
    ComPtr<ITypeInfo> info;
    UINT index = 0;
    if (SUCCEEDED(source.get()->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) && info)
        info->GetContainingTypeLib(lib.put(), &index);

    ComPtr<IEnumConnectionPoints> points;
    HRESULT hr = cpc->EnumConnectionPoints(points.put());
    if (FAILED(hr)) throwStatus(hr, u"listing the connection points of " + source.interfaceName());
    std::vector<Candidate> out;
    for (;;) {
        IConnectionPoint* raw = nullptr;
        ULONG fetched = 0;
        if (points->Next(1, &raw, &fetched) != S_OK || fetched != 1 || !raw) break;
        Candidate c{ComPtr<IConnectionPoint>::attach(raw), {}, nullptr};
        if (FAILED(c.point->GetConnectionInterface(&c.iid))) continue;
        ComPtr<ITypeInfo> eventInfo;
        if (lib && SUCCEEDED(lib->GetTypeInfoOfGuid(c.iid, eventInfo.put())) && eventInfo)
            c.events = readTypeMembers(eventInfo.get());
        out.push_back(std::move(c));
    }
    return out;
}

}  // namespace

DWORD advise(const DispatchClient& source, py::object sink) {
    source.checkApartment();
    clearErrorObject();
    std::vector<Candidate> candidates = connectionPoints(source);
    const Candidate* chosen = nullptr;
    for (const auto& c : candidates)
        if (!chosen && c.events && handlesAny(sink, *c.events)) chosen = &c;
    if (!chosen && candidates.size() == 1 && candidates[0].events && candidates[0].events->members.empty())
        chosen = &candidates[0];  // an outgoing interface without events: connecting is harmless
    if (!chosen) {
        std::u16string known;
        for (const auto& c : candidates)
            if (c.events) known += (known.empty() ? u"" : u"; ") + c.events->name + u" (" + eventNames(*c.events) + u")";
        const std::string text = candidates.empty()
                                     ? toUtf8(source.interfaceName()) + " offers no connection points"
                                     : "the sink has no method for any event of " +
                                           (known.empty() ? std::string("the object (its event interfaces are not described)")
                                                          : toUtf8(known));
        PyErr_SetString(PyExc_TypeError, text.c_str());
        throw py::error_already_set();
    }
    ComPtr<IDispatch> sinkObject(new EventSink(chosen->iid, chosen->events, std::move(sink)));
    DWORD cookie = 0;
    const HRESULT hr = chosen->point->Advise(sinkObject.get(), &cookie);
    setLastStatus(hr);
    if (FAILED(hr)) throwStatus(hr, u"connecting to " + chosen->events->name);
    source.connections()[cookie] = chosen->iid;
    return cookie;
}

void unadvise(const DispatchClient& source, DWORD cookie) {
    source.checkApartment();
    clearErrorObject();
    ComPtr<IConnectionPointContainer> cpc = containerOf(source);
    const std::u16string what = u"disconnecting cookie " + asciiText(std::to_string(cookie));
    auto& made = source.connections();
    ComPtr<IConnectionPoint> point;
    if (auto it = made.find(cookie); it != made.end()) {
        const HRESULT hr = cpc->FindConnectionPoint(it->second, point.put());
        if (FAILED(hr)) throwStatus(hr, what);
    } else {
        // Made through another Dispatch object for the same object: unambiguous only when the
        // object has a single connection point.
        std::vector<Candidate> candidates = connectionPoints(source);
        if (candidates.size() != 1)
            throw AutomationError{CONNECT_E_NOCONNECTION, what + u": no connection with this cookie was made through this object", {}};
        point = candidates[0].point;
    }
    const HRESULT hr = point->Unadvise(cookie);
    setLastStatus(hr);
    if (FAILED(hr)) throwStatus(hr, what);
    made.erase(cookie);
}

}  // namespace pyoleaut
