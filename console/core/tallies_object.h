// Typed wrapper of the statistics counters (ITallies).
#pragma once

#include <QString>
#include <vector>

#include "dispatch_object.h"

namespace kestview {

class Tallies : public DispatchObject {
public:
    Tallies() = default;
    explicit Tallies(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("ITallies")) {}

    // Reads the counters from the adapter into the object's snapshot; true when done.
    bool refresh() const;
    // One named counter of the last snapshot ("txUnicast", "rxFCSErrors", ...).
    qint32 counter(const QString& name) const;
    // Refreshes, then all 44 counters in record order.
    std::vector<qint32> rawTallies() const;
};

}  // namespace kestview
