// Where the console gets its adapter collection: a new collection of the component in this
// process, or the collection handed out by the remote provider created on another host.
#pragma once

#include <QString>
#include <functional>

#include "adapter_objects.h"
#include "dispatch_object.h"

namespace kestview {

inline constexpr const char16_t* kAdaptersProgId = u"OruDirEzo.Adapters";
inline constexpr const char16_t* kRemoteProviderProgId = u"FarLink.clsAdapters";

// Creates an object by ProgID: in process when host is empty, else on that host (remote
// activation by host name). Throws AutomationError with the runtime's status.
ComPtr<IDispatch> createObject(const char16_t* progId, const QString& host);

// A new local Adapters collection (it scans the registry as it is made).
Adapters createLocalAdapters();

// The remote provider object; its first method hands out an Adapters collection made on its host.
class RemoteProvider : public DispatchObject {
public:
    RemoteProvider() = default;
    explicit RemoteProvider(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("clsAdapters")) {}
    static RemoteProvider create(const QString& host);
    // Calls the provider's first method (the first function its type information lists; without
    // type information the first dispatch id, 1).
    Adapters adapters() const;
};

// How the console's language numbers the runtime's failures of remote creation: 70 permission
// denied, 429 cannot create object, 462 remote machine unavailable; any other status stays itself.
qint32 creationErrorNumber(HRESULT hr);

}  // namespace kestview
