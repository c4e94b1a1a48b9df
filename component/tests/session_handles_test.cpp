// Session handles: random, and valid only in the apartment (thread) that opened the session, so
// another apartment's objects (a remote client's connection among them) reach nothing through a
// handle they learnt or guessed.
#include <set>
#include <thread>

#include "adapter_fixture.h"
#include "direzo/tallies.h"
#include "server/module.h"
#include "tallies/tallies.h"
#include "transport/session_handles.h"

namespace direzo::testing {
namespace {

struct Refreshed {
    HRESULT hr = E_FAIL;
    LONG done = -1;
    std::u16string error;
};

Refreshed refresh(ITallies* tallies) {
    Refreshed r;
    r.hr = tallies->Refresh(&r.done);
    r.error = takeErrorText();
    return r;
}

ComPtr<ITallies> newTallies() {
    ComPtr<ITallies> tallies;
    EXPECT_EQ(oleaut::createObject<Tallies>(ITallies::iid, tallies.putVoid()), S_OK);
    return tallies;
}

TEST(SessionHandles, AHandleReachesNothingFromAnotherApartment) {
    OpenAdapter adapter;
    const LONG handle = adapter.apiHandle();
    ComPtr<ITallies> mine = newTallies();
    ASSERT_EQ(mine->_SetApiObj(handle), S_OK);
    ASSERT_EQ(refresh(mine.get()).done, 1);
    adapter.mark();

    Refreshed bound, borrowed;
    std::thread([&] {
        ComPtr<ITallies> stranger = newTallies();  // an object of this apartment given the handle
        stranger->_SetApiObj(handle);
        bound = refresh(stranger.get());
        borrowed = refresh(mine.get());  // the owner's own object, called from here
    }).join();
    for (const Refreshed& r : {bound, borrowed}) {
        EXPECT_EQ(r.hr, S_FALSE);
        EXPECT_EQ(r.done, 0);
        EXPECT_EQ(r.error, u"No Adapter Object Reference");
    }
    EXPECT_TRUE(adapter.requests().empty());
    EXPECT_EQ(refresh(mine.get()).done, 1);  // still the owner's
}

TEST(SessionHandles, HandlesAreUnpredictableAndDieWithTheirSession) {
    // The table never looks through the pointer: any distinct addresses serve as sessions here.
    char sessions[64];
    std::vector<LONG> issued;
    for (char& s : sessions) issued.push_back(registerSession(reinterpret_cast<AdapterSession*>(&s)));
    EXPECT_EQ(std::set<LONG>(issued.begin(), issued.end()).size(), issued.size());
    int adjacent = 0;
    for (std::size_t i = 0; i < issued.size(); ++i) {
        EXPECT_GT(issued[i], 0);
        EXPECT_EQ(findSession(issued[i]), reinterpret_cast<AdapterSession*>(&sessions[i]));
        if (i && (issued[i] - issued[i - 1] == 1 || issued[i - 1] - issued[i] == 1)) ++adjacent;
    }
    EXPECT_EQ(adjacent, 0);  // not a counter: the next handle cannot be told from the last
    for (LONG h : issued) unregisterSession(h);
    for (LONG h : issued) EXPECT_EQ(findSession(h), nullptr);
}

}  // namespace
}  // namespace direzo::testing
