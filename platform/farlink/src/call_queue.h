// The apartment of one connection: calls that arrive from the peer are queued and run on the
// apartment's thread outside the event loop's callbacks, so a call may itself call the peer and
// wait for the answer (an event fired into a remote sink), and calls the peer makes meanwhile
// (a sink calling back) are served while it waits.
#pragma once

#include <kj/async.h>
#include <kj/debug.h>
#include <kj/function.h>
#include <kj/timer.h>

#include <chrono>
#include <deque>

namespace farlink {

class CallQueue {
public:
    static constexpr std::chrono::microseconds kPollBeforeSleeping{200};

    // `pollBeforeSleeping`: how long a wait keeps turning the event loop before it sleeps (none
    // for streams within the process, whose other end runs on this very thread).
    CallQueue(kj::WaitScope& waitScope, kj::Timer& timer, size_t maxPending,
              std::chrono::microseconds pollBeforeSleeping = kPollBeforeSleeping)
        : waitScope_(waitScope), timer_(timer), maxPending_(maxPending), pollBeforeSleeping_(pollBeforeSleeping),
          lastActivity_(timer.now()) {}

    // Queues a call from the peer; false when too many are waiting (the caller refuses it).
    bool post(kj::Function<void()> call);
    // Queues work that must run in the apartment whatever the load (releasing an object the peer
    // has dropped: its destructor may call the peer).
    void postAlways(kj::Function<void()> work);
    // Runs what is queued, without waiting.
    void drain();
    // Lets the event loop send what is ready (a release) without waiting; only outside its
    // callbacks, as every apartment call is.
    void poll() { waitScope_.poll(); }

    // Waits for `promise`, running queued calls meanwhile. Throws kj::Exception when it breaks
    // or (with a limit) when it has not resolved in `limit`.
    template <class T>
    T await(kj::Promise<T> promise, kj::Maybe<kj::Duration> limit = nullptr) {
        kj::Maybe<T> value;
        kj::Maybe<kj::Exception> failure;
        bool done = false;
        auto watched = watch(kj::mv(promise), limit)
                           .then([&](T v) { value = kj::mv(v); }, [&](kj::Exception&& e) { failure = kj::mv(e); })
                           .then([&]() {
                               done = true;
                               wake();
                           })
                           .eagerlyEvaluate(nullptr);
        serveUntil(done);
        KJ_IF_MAYBE(e, failure) { kj::throwFatalException(kj::mv(*e)); }
        return kj::mv(KJ_ASSERT_NONNULL(value));
    }
    void await(kj::Promise<void> promise, kj::Maybe<kj::Duration> limit = nullptr);

    kj::Timer& timer() { return timer_; }
    // When a call last arrived or ended: how long the peer has left the connection unused.
    kj::TimePoint lastActivity() const { return lastActivity_; }
    // A call from the peer is running (outside the event loop's callbacks).
    bool inCall() const { return inCall_; }

private:
    template <class T>
    kj::Promise<T> watch(kj::Promise<T> p, kj::Maybe<kj::Duration> limit) {
        KJ_IF_MAYBE(d, limit) {
            // The timer's clock moves only when the event loop turns: an apartment that has not
            // turned it for a while would count the limit from then, so it turns it first.
            waitScope_.poll();
            return p.exclusiveJoin(timer_.afterDelay(*d).then([]() -> kj::Promise<T> {
                return KJ_EXCEPTION(OVERLOADED, "farlink: the call timed out");
            }));
        }
        return p;
    }
    void serveUntil(const bool& done);
    // Turns the event loop without sleeping for a short while: true once `woken` is ready. An
    // answer or a next call usually comes within that time, and a thread that has not gone to
    // sleep takes it without the cost of being woken.
    bool pollBriefly(kj::Promise<void>& woken);
    void wake();
    void runNext();

    kj::WaitScope& waitScope_;
    kj::Timer& timer_;
    size_t maxPending_;
    std::chrono::microseconds pollBeforeSleeping_;
    kj::TimePoint lastActivity_;
    bool inCall_ = false;
    std::deque<kj::Function<void()>> pending_;
    kj::Maybe<kj::Own<kj::PromiseFulfiller<void>>> waiter_;
};

// Answers an RPC call by running `body(context)` in the apartment once the queue reaches it; a
// call the queue has no room for is refused.
template <class Context, class Body>
kj::Promise<void> inApartment(CallQueue& queue, Context context, Body body) {
    auto paf = kj::newPromiseAndFulfiller<void>();
    const bool queued = queue.post([context, body = kj::mv(body), done = kj::mv(paf.fulfiller)]() mutable {
        if (!done->isWaiting()) return;  // cancelled: the caller is gone
        try {
            body(context);
            done->fulfill();
        } catch (kj::Exception& e) {
            done->reject(kj::mv(e));
        }
    });
    if (!queued) return KJ_EXCEPTION(OVERLOADED, "farlink: too many calls in flight on this connection");
    return kj::mv(paf.promise);
}

}  // namespace farlink
