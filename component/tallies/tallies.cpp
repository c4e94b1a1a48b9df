#include "tallies/tallies.h"

#include <cstring>

#include "common/safe_arrays.h"
#include "common/text.h"

namespace direzo {

const oleaut::InterfaceDesc& Tallies::dispatchTable() {
    static const oleaut::InterfaceDesc desc = [] {
        using namespace oleaut;
        return dualInterface(u"ITallies", ITallies::iid, {
#define DIREZO_TALLY_MEMBER(name) propget<&ITallies::get_##name>(u"" #name),
            DIREZO_TALLY_COUNTERS(DIREZO_TALLY_MEMBER)
#undef DIREZO_TALLY_MEMBER
            propget<&ITallies::get_RawTallies>(u"RawTallies"),
            method<&ITallies::Refresh>(u"Refresh", {u"bResults"}),
            hiddenMethod<&ITallies::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
        });
    }();
    return desc;
}

HRESULT Tallies::counter(LONG value, LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = value;
    return S_OK;
}

bool Tallies::refresh(AdapterSession& session) {
    TALLY_INFO fresh{};
    NdisRequestRecord record{};
    record.RequestType = NdisRequestQueryInformation;
    record.Oid = OID_VIREO_TALLIES;
    record.InformationBuffer = &fresh;
    record.InformationBufferLength = sizeof fresh;
    const NDIS_STATUS status = session.RawRequest(record);
    if (status != NDIS_STATUS_SUCCESS) {
        error(S_OK, format("ITallies : Refresh tallies failed NDIS returned %X ", unsigned(status)));
        return false;
    }
    snapshot_ = fresh;
    return true;
}

HRESULT Tallies::Refresh(LONG* bResults) {
    if (!bResults) return E_POINTER;
    *bResults = 0;
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    *bResults = refresh(*session) ? 1 : 0;
    return S_OK;
}

// A refresh that fails gives an empty array rather than a stale snapshot.
HRESULT Tallies::get_RawTallies(VARIANT* pVal) {
    if (!pVal) return E_POINTER;
    AdapterSession* session = session_.get();
    if (!session) {
        longArrayVariant({}, pVal);
        return noSession(S_FALSE);
    }
    if (!refresh(*session)) return longArrayVariant({}, pVal);
    static_assert(sizeof(TALLY_INFO) == 44 * sizeof(LONG));
    LONG counters[44];
    std::memcpy(counters, &snapshot_, sizeof counters);
    return longArrayVariant(counters, pVal);
}

HRESULT Tallies::_SetApiObj(LONG apiObj) {
    session_.set(apiObj);
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    refresh(*session);
    return S_OK;
}

}  // namespace direzo
