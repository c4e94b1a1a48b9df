// The Adapters collection: the host's network adapters, found in the registry when it is created.
#pragma once

#include "common/keyed_collection.h"
#include "direzo/adapters.h"
#include "server/module.h"
#include "transport/adapter_session.h"

namespace direzo {

class Adapters final : public ComponentObjectWithEvents<Adapters, IAdapters, _IAdaptersEvents> {
public:
    static constexpr const ClassDescriptor& kClass = kAdaptersClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    Adapters();

    HRESULT get_Count(LONG* pVal) override;
    HRESULT get__NewEnum(IUnknown** pVal) override;
    HRESULT get_Item(VARIANT Index, IAdapter** pVal) override;

private:
    void addAdapter(const std::string& key);

    KeyedCollection<IAdapter> adapters_;
    AdapterSession listingSession_;  // used only to list the adapter keys; never opened
};

}  // namespace direzo
