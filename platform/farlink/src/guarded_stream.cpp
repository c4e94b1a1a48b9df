#include "guarded_stream.h"

namespace farlink {

GuardedStream::GuardedStream(kj::Own<kj::AsyncIoStream> inner, kj::Promise<void> ended, const std::string& reason)
    : inner_(kj::mv(inner)), ended_(ended.fork()), reason_(reason) {}

kj::Promise<size_t> GuardedStream::tryRead(void* buffer, size_t minBytes, size_t maxBytes) {
    if (writing_ == 0) return inner_->tryRead(buffer, minBytes, maxBytes).exclusiveJoin(endedByHost());
    auto paf = kj::newPromiseAndFulfiller<void>();
    reader_ = kj::mv(paf.fulfiller);
    return paf.promise.then([this, buffer, minBytes, maxBytes]() { return tryRead(buffer, minBytes, maxBytes); })
        .exclusiveJoin(endedByHost());
}

kj::Promise<size_t> GuardedStream::endedByHost() {
    return ended_.addBranch().then([this]() -> kj::Promise<size_t> {
        return kj::Exception(kj::Exception::Type::FAILED, __FILE__, __LINE__, kj::heapString(reason_.c_str()));
    });
}

kj::Promise<void> GuardedStream::write(const void* buffer, size_t size) { return written(inner_->write(buffer, size)); }

kj::Promise<void> GuardedStream::write(kj::ArrayPtr<const kj::ArrayPtr<const kj::byte>> pieces) {
    return written(inner_->write(pieces));
}

kj::Promise<void> GuardedStream::written(kj::Promise<void> write) {
    ++writing_;
    return write.attach(kj::defer([this]() {
        if (--writing_ > 0) return;
        KJ_IF_MAYBE(r, reader_) {
            (*r)->fulfill();
            reader_ = nullptr;
        }
    }));
}

}  // namespace farlink
