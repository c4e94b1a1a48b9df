// One connection's RPC system over an established (authenticated) stream, with the limits every
// connection gets: message size, nesting depth and words of calls in flight.
#pragma once

#include <capnp/rpc-twoparty.h>

#include <memory>

#include "peer.h"

namespace farlink {

inline constexpr std::uint64_t kMaxMessageWords = 1u << 20;  // 8 MiB
inline constexpr int kMaxMessageNesting = 32;
inline constexpr std::size_t kMaxWordsInFlight = 1u << 20;

class RpcSession {
public:
    // Server side: `bootstrap` is what the client reaches first. Client side: no bootstrap.
    RpcSession(kj::Own<kj::AsyncIoStream> stream, CallQueue& queue, Limits limits,
               kj::Maybe<capnp::Capability::Client> bootstrap);
    ~RpcSession();

    const std::shared_ptr<Peer>& peer() const { return peer_; }
    // The other end's bootstrap capability (client side).
    capnp::Capability::Client bootstrap();
    kj::Promise<void> onDisconnect() { return network_->onDisconnect(); }

private:
    std::shared_ptr<Peer> peer_;
    kj::Own<kj::AsyncIoStream> stream_;
    kj::Own<capnp::TwoPartyVatNetwork> network_;
    kj::Own<capnp::RpcSystem<capnp::rpc::twoparty::VatId>> rpc_;
};

}  // namespace farlink
