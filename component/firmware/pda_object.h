// The PDA object: the adapter's production data area as a collection of PDR objects, read from
// the adapter or from a PDA text file, edited by the client and written back.
#pragma once

#include "common/keyed_collection.h"
#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace firmware {
struct AreaWalk;
}

namespace direzo {

class PDR;

class PDA final : public SessionObject<PDA, IPDA> {
public:
    static constexpr const ClassDescriptor& kClass = kPDAClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    HRESULT get_Count(LONG* pVal) override;
    HRESULT get__NewEnum(IUnknown** pVal) override;
    HRESULT get_Item(VARIANT Index, IPDR** pItem) override;
    HRESULT Clear(LONG* bResults) override;
    HRESULT AddPDR(SHORT pPDRCode, LONG* bResults) override;
    HRESULT RemovePDR(BSTR pPdrItem, SHORT* qtyRemoved) override;
    HRESULT Retrieve(LONG* bResults) override;
    HRESULT Commit(LONG* bResults) override;
    HRESULT LoadPDAFile(BSTR filename, LONG* bResults) override;

private:
    // A new item for `code`, unless the collection already holds its key.
    PDR* createItem(WORD code);
    // Fills the collection from a walk; status 1 (and an empty collection) for a malformed one.
    HRESULT takeWalk(const firmware::AreaWalk& walk, LONG* bResults);

    KeyedCollection<IPDR> items_;
};

}  // namespace direzo
