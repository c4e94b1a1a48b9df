// Typed wrappers of the adapter collection and one adapter (IAdapters, IAdapter). Each member is
// one Invoke on the wrapped object (see DispatchObject); failures throw AutomationError.
#pragma once

#include <QString>
#include <vector>

#include "dispatch_object.h"

namespace kestview {

class Vireo;

class Adapter : public DispatchObject {
public:
    Adapter() = default;
    explicit Adapter(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IAdapter")) {}

    QString description() const;
    QString enumerator() const;
    QString label() const;
    QString productName() const;
    QString serviceName() const;
    QString symbolicLink() const;
    QString title() const;
    bool isVela() const;
    bool isOpen() const;
    qint32 driverVersion() const;
    // The adapter's MAC-control object (null until the adapter is open and answers the probe).
    Vireo vireo() const;
    // Opens the adapter's session; true when it opened.
    bool open() const;
    void close() const;
};

class Adapters : public DispatchObject {
public:
    Adapters() = default;
    explicit Adapters(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IAdapters")) {}

    qint32 count() const;
    // By key (the adapter's Enumerator text); the console always passes the key as a string.
    Adapter item(const QString& key) const;
    // By position 1..count.
    Adapter item(qint32 position) const;
    // Every adapter, in the collection's enumeration order.
    std::vector<Adapter> all() const;
};

}  // namespace kestview
