#include "call_queue.h"

#include <chrono>
#include <thread>

namespace farlink {

bool CallQueue::post(kj::Function<void()> call) {
    if (pending_.size() >= maxPending_) return false;
    lastActivity_ = timer_.now();
    pending_.push_back(kj::mv(call));
    wake();
    return true;
}

void CallQueue::postAlways(kj::Function<void()> work) {
    pending_.push_back(kj::mv(work));
    wake();
}

void CallQueue::runNext() {
    kj::Function<void()> call = kj::mv(pending_.front());
    pending_.pop_front();
    const bool outer = inCall_;
    inCall_ = true;
    call();
    inCall_ = outer;
    lastActivity_ = timer_.now();
}

void CallQueue::drain() {
    while (!pending_.empty()) runNext();
}

void CallQueue::wake() {
    KJ_IF_MAYBE(w, waiter_) {
        (*w)->fulfill();
        waiter_ = nullptr;
    }
}

bool CallQueue::pollBriefly(kj::Promise<void>& woken) {
    if (pollBeforeSleeping_.count() == 0) return false;
    const auto until = std::chrono::steady_clock::now() + pollBeforeSleeping_;
    do {
        // Runs what is ready one event at a time, as a wait does, and returns once woken.
        if (woken.poll(waitScope_)) return true;
        std::this_thread::yield();  // a thread with work to do on this core goes first
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

void CallQueue::serveUntil(const bool& done) {
    while (!done) {
        if (!pending_.empty()) {
            runNext();
            continue;
        }
        auto paf = kj::newPromiseAndFulfiller<void>();
        waiter_ = kj::mv(paf.fulfiller);
        if (!pollBriefly(paf.promise)) paf.promise.wait(waitScope_);
    }
}

void CallQueue::await(kj::Promise<void> promise, kj::Maybe<kj::Duration> limit) {
    kj::Maybe<kj::Exception> failure;
    bool done = false;
    auto watched = watch(kj::mv(promise), limit)
                       .then([]() {}, [&](kj::Exception&& e) { failure = kj::mv(e); })
                       .then([&]() {
                           done = true;
                           wake();
                       })
                       .eagerlyEvaluate(nullptr);
    serveUntil(done);
    KJ_IF_MAYBE(e, failure) { kj::throwFatalException(kj::mv(*e)); }
}

}  // namespace farlink
