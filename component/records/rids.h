// The Rids collection: the configuration records the adapter answers, found once by reading each
// known record number, keyed by the number in upper-case hexadecimal.
#pragma once

#include "common/keyed_collection.h"
#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class Rids final : public SessionObject<Rids, IRids> {
public:
    static constexpr const ClassDescriptor& kClass = kRidsClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    HRESULT _SetApiObj(LONG apiObj) override;
    HRESULT get_Count(LONG* pVal) override;
    HRESULT get__NewEnum(IUnknown** pVal) override;
    HRESULT get_Item(VARIANT Index, IRid** pVal) override;

private:
    void build(AdapterSession& session, LONG apiObj);

    KeyedCollection<IRid> rids_;
    bool built_ = false;
};

}  // namespace direzo
