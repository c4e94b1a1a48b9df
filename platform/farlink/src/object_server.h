// The capability the other end holds for one local object: each call is queued to the apartment
// and answered by the object's own IDispatch, IEnumVARIANT or connection-point interfaces.
#pragma once

#include <memory>

#include "farlink.capnp.h"
#include "oleaut/comptr.h"
#include "oleaut/ocidl.h"

namespace farlink {

class Peer;

class ObjectServer final : public wire::Object::Server {
public:
    ObjectServer(std::shared_ptr<Peer> peer, std::uint64_t id, ComPtr<IUnknown> identity);
    ~ObjectServer();

    std::uint64_t id() const { return id_; }
    IUnknown* identity() const { return identity_.get(); }
    // Another reference to this capability, for sending the same object again.
    wire::Object::Client another() { return thisCap(); }

protected:
    kj::Promise<void> queryInterface(QueryInterfaceContext context) override;
    kj::Promise<void> getTypeInfoCount(GetTypeInfoCountContext context) override;
    kj::Promise<void> getTypeInfo(GetTypeInfoContext context) override;
    kj::Promise<void> getIDsOfNames(GetIDsOfNamesContext context) override;
    kj::Promise<void> invoke(InvokeContext context) override;
    kj::Promise<void> supportsErrorInfo(SupportsErrorInfoContext context) override;
    kj::Promise<void> next(NextContext context) override;
    kj::Promise<void> skip(SkipContext context) override;
    kj::Promise<void> reset(ResetContext context) override;
    kj::Promise<void> clone(CloneContext context) override;
    kj::Promise<void> findConnectionPoint(FindConnectionPointContext context) override;
    kj::Promise<void> enumConnectionPoints(EnumConnectionPointsContext context) override;
    kj::Promise<void> getConnectionInterface(GetConnectionInterfaceContext context) override;
    kj::Promise<void> advise(AdviseContext context) override;
    kj::Promise<void> unadvise(UnadviseContext context) override;

private:
    template <class I>
    ComPtr<I> as() const { return identity_.as<I>(); }

    std::shared_ptr<Peer> peer_;
    std::uint64_t id_;
    ComPtr<IUnknown> identity_;
};

}  // namespace farlink
