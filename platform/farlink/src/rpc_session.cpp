#include "rpc_session.h"

namespace farlink {

namespace {
capnp::ReaderOptions receiveLimits() {
    capnp::ReaderOptions o;
    o.traversalLimitInWords = kMaxMessageWords;
    o.nestingLimit = kMaxMessageNesting;
    return o;
}
}  // namespace

RpcSession::RpcSession(kj::Own<kj::AsyncIoStream> stream, CallQueue& queue, Limits limits,
                       kj::Maybe<capnp::Capability::Client> bootstrap)
    : peer_(std::make_shared<Peer>(queue, limits)), stream_(kj::mv(stream)) {
    const bool server = bootstrap != nullptr;
    network_ = kj::heap<capnp::TwoPartyVatNetwork>(
        *stream_, server ? capnp::rpc::twoparty::Side::SERVER : capnp::rpc::twoparty::Side::CLIENT, receiveLimits());
    KJ_IF_MAYBE(b, bootstrap) {
        rpc_ = kj::heap<capnp::RpcSystem<capnp::rpc::twoparty::VatId>>(capnp::makeRpcServer(*network_, kj::mv(*b)));
    } else {
        rpc_ = kj::heap<capnp::RpcSystem<capnp::rpc::twoparty::VatId>>(capnp::makeRpcClient(*network_));
    }
    rpc_->setFlowLimit(kMaxWordsInFlight);
}

RpcSession::~RpcSession() {
    peer_->markDisconnected();
    rpc_ = nullptr;  // drops every capability: the objects they held are queued for release
    network_ = nullptr;
    stream_ = nullptr;
}

capnp::Capability::Client RpcSession::bootstrap() {
    capnp::word scratch[4];
    memset(scratch, 0, sizeof scratch);
    capnp::MallocMessageBuilder message(scratch);
    auto vatId = message.getRoot<capnp::rpc::twoparty::VatId>();
    vatId.setSide(capnp::rpc::twoparty::Side::SERVER);
    return rpc_->bootstrap(vatId);
}

}  // namespace farlink
