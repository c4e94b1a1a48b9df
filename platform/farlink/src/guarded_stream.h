// The exporter's end of one authenticated connection, between the TLS stream and the RPC system:
// it reads the client's next message only once the previous answer has been taken (written
// out), so a client that sends calls and never reads the answers stops being read instead of
// having its answers pile up; and a connection the host ends (a revoked credential) fails its
// pending read with the host's reason, which the RPC system sends to the client as it closes.
#pragma once

#include <kj/async-io.h>

#include <string>

namespace farlink {

class GuardedStream final : public kj::AsyncIoStream {
public:
    // `ended` resolves when the host ends the connection; `reason` (set before) says why.
    GuardedStream(kj::Own<kj::AsyncIoStream> inner, kj::Promise<void> ended, const std::string& reason);

    kj::Promise<size_t> tryRead(void* buffer, size_t minBytes, size_t maxBytes) override;
    kj::Promise<void> write(const void* buffer, size_t size) override;
    kj::Promise<void> write(kj::ArrayPtr<const kj::ArrayPtr<const kj::byte>> pieces) override;
    kj::Promise<void> whenWriteDisconnected() override { return inner_->whenWriteDisconnected(); }
    void shutdownWrite() override { inner_->shutdownWrite(); }
    void abortRead() override { inner_->abortRead(); }

private:
    kj::Promise<void> written(kj::Promise<void> write);
    kj::Promise<size_t> endedByHost();

    kj::Own<kj::AsyncIoStream> inner_;
    kj::ForkedPromise<void> ended_;
    const std::string& reason_;
    unsigned writing_ = 0;
    kj::Maybe<kj::Own<kj::PromiseFulfiller<void>>> reader_;  // a read waiting for the writes to end
};

}  // namespace farlink
