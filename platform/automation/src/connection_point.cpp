// ConnectionPoint: the sinks connected to one outgoing interface of an object.
#include "connection_enum.h"
#include "oleaut/com_object.h"

namespace oleaut {

ConnectionPoint::~ConnectionPoint() = default;

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IUnknown::iid && riid != IConnectionPoint::iid) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* pIID) {
    if (!pIID) return E_POINTER;
    *pIID = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (!ppCPC) return E_POINTER;
    container_.AddRef();
    *ppCPC = &container_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (pdwCookie) *pdwCookie = 0;
    if (!pUnkSink || !pdwCookie) return E_POINTER;
    if (nextCookie_ == 0) return CONNECT_E_ADVISELIMIT;  // every cookie has been handed out
    connections_.push_back({nextCookie_, ComPtr<IUnknown>(pUnkSink)});
    *pdwCookie = nextCookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD dwCookie) {
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->cookie != dwCookie) continue;
        ComPtr<IUnknown> sink = std::move(it->sink);  // released after the entry is gone
        connections_.erase(it);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    std::vector<CONNECTDATA> snapshot;
    snapshot.reserve(connections_.size());
    for (const Connection& c : connections_) snapshot.push_back({c.sink.get(), c.cookie});
    return detail::createEnumConnections(snapshot, ppEnum);
}

std::vector<ComPtr<IDispatch>> ConnectionPoint::dispatchSinks() const {
    std::vector<ComPtr<IDispatch>> sinks;
    for (const Connection& c : connections_)
        if (ComPtr<IDispatch> d = c.sink.as<IDispatch>()) sinks.push_back(std::move(d));
    return sinks;
}

}  // namespace oleaut
