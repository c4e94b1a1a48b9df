// The local stand-in of an object on the other end of a connection: its IDispatch, IEnumVARIANT
// and connection-point interfaces become calls on the object's capability, made on the
// apartment's thread and waited for with a bound.
#pragma once

#include <atomic>
#include <map>
#include <memory>

#include "farlink.capnp.h"
#include "oleaut/ocidl.h"

namespace farlink {

class Peer;

class RemoteObject final : public IDispatch,
                           public IEnumVARIANT,
                           public IConnectionPointContainer,
                           public IConnectionPoint,
                           public ISupportErrorInfo {
public:
    // Answers QueryInterface with this IID to find the proxy behind an interface pointer.
    static constexpr IID kProxyIid = makeGuid("6C1F8E4B-2D37-4A90-9B5E-3F0A7C81D2E6");

    RemoteObject(std::shared_ptr<Peer> peer, std::uint64_t id, wire::Object::Client cap);
    ~RemoteObject();
    RemoteObject(const RemoteObject&) = delete;
    RemoteObject& operator=(const RemoteObject&) = delete;

    std::uint64_t id() const { return id_; }
    const Peer* peer() const { return peer_.get(); }
    wire::Object::Client cap() { return cap_; }
    // The other end vouched that the object has this interface.
    void vouch(const IID& iid) { answers_[iid] = true; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ULONG(refs_.fetch_add(1) + 1); }
    ULONG Release() override;

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    // IEnumVARIANT
    HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override;
    HRESULT Skip(ULONG celt) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumVARIANT** ppEnum) override;
    // IConnectionPointContainer
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;
    // IConnectionPoint
    HRESULT GetConnectionInterface(IID* pIID) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    HRESULT Unadvise(DWORD dwCookie) override;
    HRESULT EnumConnections(IEnumConnections** ppEnum) override;
    // ISupportErrorInfo
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    // Sends a request and waits for its answer; the status of a broken or late call otherwise.
    template <class Request, class Use>
    HRESULT call(Request&& request, Use use);
    // Whether the object answers the interface (asked once).
    bool answers(REFIID iid);

    std::atomic<long> refs_{0};
    std::shared_ptr<Peer> peer_;
    std::uint64_t id_;
    wire::Object::Client cap_;
    std::map<IID, bool> answers_;
    std::map<IID, bool> errorSupport_;
};

}  // namespace farlink
