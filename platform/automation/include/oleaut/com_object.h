// Building blocks of an in-process server: the module's count of live objects and locks, the
// reference-counted dispatch object that serves its default dual interface from a table, error
// objects, connection points and the class factory.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "oleaut/comptr.h"
#include "oleaut/dispatch_member.h"
#include "oleaut/ocidl.h"

namespace oleaut {

// Live objects and server locks of one server library (DllCanUnloadNow).
class ServerModule {
public:
    void objectCreated() { objects_.fetch_add(1); }
    void objectDestroyed() { objects_.fetch_sub(1); }
    void lock() { locks_.fetch_add(1); }
    // Releases one lock; false (and nothing changed) when no lock is held, so that an unmatched
    // release cannot drive the count below zero and keep the library loaded for good.
    bool unlock() {
        long held = locks_.load();
        while (held > 0)
            if (locks_.compare_exchange_weak(held, held - 1)) return true;
        return false;
    }
    bool canUnload() const { return objects_.load() == 0 && locks_.load() == 0; }
    long liveObjects() const { return objects_.load(); }

private:
    std::atomic<long> objects_{0};
    std::atomic<long> locks_{0};
};

// Sets the thread's error object: description, source, interface; no help file.
void setErrorInfo(std::u16string_view description, std::u16string_view source, REFIID iid);

// The type information of one interface of a type library (cached by the caller).
HRESULT typeInfoOf(ITypeLib* lib, REFIID iid, ITypeInfo** out);

// IDispatch over a description table: name lookup, dispatch and type information. Used by
// DispatchObject; exposed for objects that implement IDispatch some other way.
HRESULT dispatchGetIDsOfNames(const InterfaceDesc& desc, LPOLESTR* names, UINT count, DISPID* ids);
HRESULT dispatchInvoke(const InterfaceDesc& desc, IUnknown* itf, DISPID id, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr);

// An enumerator over a snapshot of VARIANTs (copied).
HRESULT CreateEnumVARIANT(const std::vector<VARIANT>& items, IEnumVARIANT** out);

// One outgoing interface of an object: the sinks connected to it, in connection order. Its
// reference count is the container's.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& container, REFIID iid) : container_(container), iid_(iid) {}
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return container_.AddRef(); }
    ULONG Release() override { return container_.Release(); }
    HRESULT GetConnectionInterface(IID* pIID) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    HRESULT Unadvise(DWORD dwCookie) override;
    HRESULT EnumConnections(IEnumConnections** ppEnum) override;

    REFIID iid() const { return iid_; }
    // The connected sinks' IDispatch interfaces, in connection order (a snapshot, so a sink may
    // disconnect while it is being called).
    std::vector<ComPtr<IDispatch>> dispatchSinks() const;

private:
    struct Connection {
        DWORD cookie;
        ComPtr<IUnknown> sink;
    };
    IConnectionPointContainer& container_;
    IID iid_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

HRESULT CreateEnumConnectionPoints(const std::vector<IConnectionPoint*>& points, IEnumConnectionPoints** out);

// Marker for DispatchObject: the object is a connection-point container with one point for the
// outgoing interface whose IID is Source::iid.
template <class Source>
struct WithEvents {};

// A reference-counted automation object serving its default dual interface `Itf` from the table
// Derived::dispatchTable(). Derived also provides:
//   static ServerModule& module();          the server's object count
//   static ITypeLib* typeLib();             the server's type library (not counted)
//   static std::u16string_view errorSource(); the class's version-dependent ProgID
// It answers ISupportErrorInfo positively for Itf only.
template <class Derived, class Itf>
class DispatchObject : public Itf, public ISupportErrorInfo {
public:
    DispatchObject() { Derived::module().objectCreated(); }
    virtual ~DispatchObject() { Derived::module().objectDestroyed(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IUnknown::iid || riid == IDispatch::iid || riid == Itf::iid)
            *ppv = static_cast<Itf*>(this);
        else if (riid == ISupportErrorInfo::iid)
            *ppv = static_cast<ISupportErrorInfo*>(this);
        else if (!(*ppv = queryExtra(riid)))
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ULONG(refs_.fetch_add(1) + 1); }
    ULONG Release() override {
        const long left = refs_.fetch_sub(1) - 1;
        if (left == 0) delete this;
        return ULONG(left);
    }

    HRESULT GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return typeInfoOf(Derived::typeLib(), Itf::iid, out);
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispatchGetIDsOfNames(Derived::dispatchTable(), names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, UINT* argErr) override {
        return dispatchInvoke(Derived::dispatchTable(), static_cast<Itf*>(this), id, flags, params,
                              result, excep, argErr);
    }
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == Itf::iid ? S_OK : S_FALSE;
    }

protected:
    // Reports an error text through the thread's error object and returns status.
    HRESULT error(HRESULT status, std::u16string_view text) {
        setErrorInfo(text, Derived::errorSource(), Itf::iid);
        return status;
    }
    // Further interfaces (connection-point container ...): override to answer them.
    virtual void* queryExtra(REFIID) { return nullptr; }

private:
    std::atomic<long> refs_{0};
};

// A DispatchObject that is also a connection-point container with one connection point for the
// outgoing interface Source.
template <class Derived, class Itf, class Source>
class DispatchObjectWithEvents : public DispatchObject<Derived, Itf>, public IConnectionPointContainer {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        return DispatchObject<Derived, Itf>::QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return DispatchObject<Derived, Itf>::AddRef(); }
    ULONG Release() override { return DispatchObject<Derived, Itf>::Release(); }

    HRESULT EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return CreateEnumConnectionPoints({&events_}, out);
    }
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != Source::iid) return CONNECT_E_NOCONNECTION;
        *out = &events_;
        events_.AddRef();
        return S_OK;
    }

protected:
    void* queryExtra(REFIID riid) override {
        return riid == IConnectionPointContainer::iid ? static_cast<IConnectionPointContainer*>(this)
                                                      : nullptr;
    }
    ConnectionPoint& events() { return events_; }

private:
    ConnectionPoint events_{*this, Source::iid};
};

// Creates an object through `new T` and hands out the requested interface.
template <class T>
HRESULT createObject(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    T* obj = new (std::nothrow) T();
    if (!obj) return E_OUTOFMEMORY;
    obj->AddRef();
    const HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
}

// The class object of one class: CreateInstance makes a T; LockServer counts in the module.
template <class T>
class ClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IUnknown::iid && riid != IClassFactory::iid) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override {
        // A class object in use keeps the library loaded as a live object does; the lock count
        // is the clients' own (LockServer).
        if (refs_.fetch_add(1) == 0) T::module().objectCreated();
        return ULONG(refs_.load());
    }
    ULONG Release() override {
        const long left = refs_.fetch_sub(1) - 1;
        if (left == 0) {
            T::module().objectDestroyed();
            delete this;
        }
        return ULONG(left);
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv) *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return createObject<T>(riid, ppv);
    }
    HRESULT LockServer(BOOL lock) override {
        if (lock) {
            T::module().lock();
            return S_OK;
        }
        return T::module().unlock() ? S_OK : E_UNEXPECTED;
    }

private:
    std::atomic<long> refs_{0};
};

}  // namespace oleaut
