#include "records/rids.h"

#include <array>

#include "common/text.h"
#include "records/rid.h"

namespace direzo {

namespace {

// The record numbers probed, in probing order.
constexpr std::array<WORD, 87> kProbedRecords{
    0xFC00, 0xFC01, 0xFC02, 0xFC03, 0xFC04, 0xFC05, 0xFC06, 0xFC07, 0xFC08, 0xFC09, 0xFC0A, 0xFC0B,
    0xFC0C, 0xFC0D, 0xFC0E, 0xFC10, 0xFC20, 0xFC21, 0xFC23, 0xFC24, 0xFC25, 0xFC26, 0xFC27, 0xFC28,
    0xFC2A, 0xFC2C, 0xFC2D, 0xFC30, 0xFC31, 0xFC32, 0xFC33, 0xFC35, 0xFC40, 0xFC41, 0xFC42, 0xFC80,
    0xFC81, 0xFC82, 0xFC83, 0xFC84, 0xFC85, 0xFCB0, 0xFCB3, 0xFCB4, 0xFCE0, 0xFCE1, 0xFCE2, 0xFD00,
    0xFD01, 0xFD02, 0xFD03, 0xFD04, 0xFD0A, 0xFD0B, 0xFD0C, 0xFD0D, 0xFD10, 0xFD11, 0xFD12, 0xFD13,
    0xFD20, 0xFD21, 0xFD22, 0xFD23, 0xFD40, 0xFD41, 0xFD42, 0xFD43, 0xFD44, 0xFD45, 0xFD46, 0xFD47,
    0xFD48, 0xFD49, 0xFD4A, 0xFD4B, 0xFD4C, 0xFD4D, 0xFD4F, 0xFD88, 0xFDC0, 0xFDC1, 0xFDC2, 0xFDC3,
    0xFDC6, 0xFFFE, 0xFFFF};

}  // namespace

const oleaut::InterfaceDesc& Rids::dispatchTable() {
    static const oleaut::InterfaceDesc desc = [] {
        using namespace oleaut;
        return dualInterface(u"IRids", IRids::iid, {
            hiddenMethod<&IRids::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
            propget<&IRids::get_Count>(u"Count"),
            newEnumMember<&IRids::get__NewEnum>(),
            itemMember<&IRids::get_Item>(),
        });
    }();
    return desc;
}

// The records are found at the first hand-over; later ones only pass the session on.
HRESULT Rids::_SetApiObj(LONG apiObj) {
    session_.set(apiObj);
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    for (auto& [id, rid] : rids_.items()) rid->_SetApiObj(apiObj);
    if (!built_) build(*session, apiObj);
    return S_OK;
}

// A record that does not answer is left out; its number and status stay in the error object.
void Rids::build(AdapterSession& session, LONG apiObj) {
    for (WORD no : kProbedRecords) {
        RecordBuffer buffer;
        const NDIS_STATUS status = session.ReadRecord(buffer, no);
        if (status != NDIS_STATUS_SUCCESS) {
            error(S_OK, format("IRids : GetRid %X returned %X ", unsigned(no), unsigned(status)));
            continue;
        }
        auto* rid = new (std::nothrow) Rid();
        if (!rid) continue;
        ComPtr<IRid> ref(rid);
        rid->describe(no, buffer.length, apiObj);
        rids_.items()[format("%X", unsigned(no))] = ref;
    }
    built_ = true;
}

HRESULT Rids::get_Count(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = rids_.count();
    return S_OK;
}

HRESULT Rids::get__NewEnum(IUnknown** pVal) { return rids_.newEnum(EnumOrder::Descending, pVal); }

HRESULT Rids::get_Item(VARIANT Index, IRid** pVal) {
    return rids_.item(Index, true, "IRids", pVal,
                   [this](HRESULT status, const std::u16string& text) { return error(status, text); });
}

}  // namespace direzo
