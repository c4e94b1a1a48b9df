// Typed wrappers of the baseband register collection (IBBPRegs) and one register (IBBPReg).
#pragma once

#include <QString>
#include <vector>

#include "dispatch_object.h"

namespace kestview {

class BBPReg : public DispatchObject {
public:
    BBPReg() = default;
    explicit BBPReg(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IBBPReg")) {}

    QString id() const;   // the register's name, "CR31"
    QString key() const;
    qint32 no() const;    // the register's number
    qint32 type() const;
    // Every read and write goes to the adapter.
    qint32 value() const;
    void setValue(qint32 value) const;
    void setBBPType(qint32 model) const;
};

class BBPRegs : public DispatchObject {
public:
    BBPRegs() = default;
    explicit BBPRegs(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IBBPRegs")) {}

    qint32 count() const;
    // The detected model (_BaseBand: 3, 16, 17, 19, 48; -1 when detection failed).
    qint32 bbpType() const;
    BBPReg item(const QString& name) const;  // "cr31", any letter case
    BBPReg item(qint32 position) const;      // 1..count, ascending names
    std::vector<BBPReg> all() const;
};

}  // namespace kestview
