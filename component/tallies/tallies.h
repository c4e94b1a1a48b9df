// The Tallies object: one snapshot of the adapter's statistics counters. Refresh fetches a new
// snapshot; the counter properties read it without touching the adapter.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"
#include "tallies/tally_counters.h"
#include "transport/adapter_session.h"

namespace direzo {

class Tallies final : public SessionObject<Tallies, ITallies> {
public:
    static constexpr const ClassDescriptor& kClass = kTalliesClass;
    static const oleaut::InterfaceDesc& dispatchTable();

#define DIREZO_TALLY_GETTER(name) \
    HRESULT get_##name(LONG* pVal) override { return counter(snapshot_.name, pVal); }
    DIREZO_TALLY_COUNTERS(DIREZO_TALLY_GETTER)
#undef DIREZO_TALLY_GETTER

    HRESULT get_RawTallies(VARIANT* pVal) override;
    HRESULT Refresh(LONG* bResults) override;
    // Takes the session and refreshes the snapshot.
    HRESULT _SetApiObj(LONG apiObj) override;

private:
    static HRESULT counter(LONG value, LONG* pVal);
    // Queries the tally OID; the snapshot changes only when the query succeeds.
    bool refresh(AdapterSession& session);

    TALLY_INFO snapshot_{};
};

}  // namespace direzo
