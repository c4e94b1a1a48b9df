#include "event_sink.h"

#include <string>
#include <vector>

#include "convert.h"
#include "dispatch_client.h"
#include "errors.h"
#include "oleaut/event_sink.h"
#include "oleaut/ocidl.h"
#include "oleaut/oleauto.h"
#include "text.h"

namespace pyoleaut {

namespace {

bool pythonAlive() { return Py_IsInitialized() && !_Py_IsFinalizing(); }

// The sink handed to a connection point: it answers the event interface and turns each event
// into a call of the Python method of the same name. Events the Python object has no method for
// are accepted and ignored; a handler's exception is reported as unraisable (the source goes on),
// since the event source ignores what its sinks answer. KeyboardInterrupt and SystemExit stop
// further handlers and are raised when the call that fired the event returns.
class EventSink final : public oleaut::EventSink {
public:
    EventSink(const IID& iid, const TypeMembers& events, py::object target)
        : oleaut::EventSink(iid, known(events)), target_(std::move(target)) {}

private:
    ~EventSink() override {
        if (!pythonAlive()) {
            target_.release();  // the interpreter is gone: nothing left to release it to
            return;
        }
        py::gil_scoped_acquire gil;
        target_ = py::object();
    }

    static std::vector<Event> known(const TypeMembers& events) {
        std::vector<Event> out;
        for (const auto& m : events.members) out.push_back({m.id, m.name});
        return out;
    }

    HRESULT onEvent(const Event& event, const DISPPARAMS& params) override {
        if (!pythonAlive()) return S_OK;
        py::gil_scoped_acquire gil;
        if (interruptPending()) return S_OK;  // the script is being stopped: no more handlers
        try {
            py::object handler = py::getattr(target_, toPython(event.name), py::none());
            if (handler.is_none()) return S_OK;
            const UINT n = params.cArgs;
            py::tuple args(n);
            for (UINT i = 0; i < n; ++i) args[i] = fromVariant(params.rgvarg[n - 1 - i]);
            handler(*args);
        } catch (py::error_already_set& e) {
            if (e.matches(PyExc_Exception)) e.discard_as_unraisable(("handler of event " + toUtf8(event.name)).c_str());
            else keepPendingInterrupt(e);  // KeyboardInterrupt, SystemExit: raised when the call returns
        }
        return S_OK;
    }

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
    ComPtr<IDispatch> sinkObject(new EventSink(chosen->iid, *chosen->events, std::move(sink)));
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
