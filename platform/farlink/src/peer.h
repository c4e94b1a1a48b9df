// One end of a connection: the objects it exports to the other end (each an Object capability
// over a local object) and the proxies of the objects it imports, and the conversion of VARIANTs
// to and from the wire, which turns object references into capabilities both ways.
#pragma once

#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "call_queue.h"
#include "farlink.capnp.h"
#include "oleaut/comptr.h"
#include "oleaut/oaidl.h"

namespace farlink {

class ObjectServer;
class RemoteObject;

struct Limits {
    unsigned maxNesting = 8;             // variants within arrays within variants ...
    unsigned maxArrayElements = 1u << 20;
    kj::Maybe<kj::Duration> callTimeout;  // a call to the peer that takes longer fails
};

class Peer : public std::enable_shared_from_this<Peer> {
public:
    Peer(CallQueue& queue, Limits limits);
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    CallQueue& queue() { return queue_; }
    const Limits& limits() const { return limits_; }
    bool onOwnerThread() const { return std::this_thread::get_id() == owner_; }

    // The connection is gone: calls through imported proxies fail from now on, with `status`.
    void markDisconnected(HRESULT status = RPC_E_DISCONNECTED) {
        if (!disconnected_) status_ = status;
        disconnected_ = true;
    }
    bool disconnected() const { return disconnected_; }
    HRESULT disconnectedStatus() const { return status_; }

    // A local object (any interface of it; null for a null reference) for the other end.
    void exportObject(IUnknown* object, wire::ObjectRef::Builder out);
    // The local stand-in of an object the other end sent (null for a null reference): a proxy,
    // or the local object itself when it is one this end exported. `isDispatch`: the other end
    // sent it as an IDispatch, so the proxy need not ask.
    ComPtr<IUnknown> importObject(wire::ObjectRef::Reader in, bool isDispatch = false);

    // Type libraries learnt from the other end, by library id.
    std::vector<GUID> knownTypeLibraries() const;
    ComPtr<ITypeLib> typeLibrary(const GUID& libid) const;
    void keepTypeLibrary(const GUID& libid, ComPtr<ITypeLib> lib);

    HRESULT toWire(const VARIANT& v, wire::Variant::Builder out, unsigned depth = 0);
    // Fills `out` (which the caller clears); byRef values become VT_BYREF variants over storage
    // in `store`, which must outlive them.
    HRESULT fromWire(wire::Variant::Reader in, VARIANT* out, unsigned depth = 0);

    // Kept while any imported proxy is alive (the client's connection): so a connection closes
    // when the last object reached through it is released.
    void keepAlive(std::shared_ptr<void> owner) { keepAlive_ = std::move(owner); }

    // Table upkeep by the objects themselves.
    void forgetExport(std::uint64_t id, IUnknown* identity);
    void forgetImport(std::uint64_t id);

private:
    HRESULT arrayToWire(VARTYPE element, SAFEARRAY* array, wire::SafeArray::Builder out, unsigned depth);
    HRESULT arrayFromWire(VARTYPE element, wire::SafeArray::Reader in, SAFEARRAY** out, unsigned depth);

    CallQueue& queue_;
    Limits limits_;
    std::thread::id owner_;
    bool disconnected_ = false;
    HRESULT status_ = RPC_E_DISCONNECTED;
    std::uint64_t nextExportId_ = 1;
    std::map<IUnknown*, ObjectServer*> exportsByIdentity_;
    std::map<std::uint64_t, ObjectServer*> exportsById_;
    std::map<std::uint64_t, RemoteObject*> imports_;
    std::map<GUID, ComPtr<ITypeLib>> typeLibraries_;
    std::shared_ptr<void> keepAlive_;
};

// Why the exporter turns a client away after the handshake; the text reaches the client with the
// connection's end, and the client maps it to its status.
inline constexpr const char* kBusyReason = "farlinkd: the host is busy: it serves as many clients as it takes";
inline constexpr const char* kRevokedReason = "farlinkd: this client's credential is revoked";

// Maps a broken call to the platform's status: E_ACCESSDENIED when the host revoked the client's
// credential, RPC_S_SERVER_TOO_BUSY when it is busy, RPC_E_DISCONNECTED when the connection is
// gone, RPC_E_TIMEOUT when the answer did not come in time, RPC_E_SERVERFAULT otherwise.
HRESULT statusOfFailure(const kj::Exception& e);

}  // namespace farlink
