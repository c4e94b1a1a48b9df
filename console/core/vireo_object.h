// Typed wrapper of the MAC-control object of an open adapter (IVireo). Test-mode and
// physical-layer commands return whether the adapter carried them out (the component's status 1
// is "not done", not an error); failures throw AutomationError.
#pragma once

#include <QByteArray>
#include <optional>

#include "dispatch_object.h"

namespace kestview {

class BBPRegs;
class Firmware;
class PDA;
class Rids;
class Tallies;

class Vireo : public DispatchObject {
public:
    Vireo() = default;
    explicit Vireo(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IVireo")) {}

    BBPRegs bbpRegs() const;
    Rids rids() const;
    Firmware firmware() const;
    PDA pda() const;
    Tallies tallies() const;
    qint32 blockProtocols() const;
    void setBlockProtocols(qint32 value) const;

    bool initPhy() const;
    bool resetPhy() const;
    bool sleepPhy() const;
    bool wakePhy() const;
    bool setChannel(qint32 channel) const;
    // Continuous transmit of the pattern's low 16 bits.
    bool continuousTx(qint32 pattern) const;
    bool continuousRx() const;
    bool monitorMode() const;
    // Stops the running test mode; the out value (the stopped test's id) is returned in `id`.
    bool stopTest(qint32* id = nullptr) const;
    bool pbodSuppression() const;
    bool txExSuppression() const;
    bool calEnable() const;
    bool setSignalState(qint32 signal) const;
    bool initialize() const;
    bool enablePort(qint16 port) const;
    bool disablePort(qint16 port) const;
    bool cardReset() const;
    // At most 8192 bytes of adapter memory from `address`.
    QByteArray readData(qint32 address, qint32 length) const;
    // Any controller command; the low bytes of its three response words, or nothing when the
    // adapter did not carry the command out.
    std::optional<QByteArray> sendCmd(qint32 cmd, qint32 param0, qint32 param1, qint32 param2) const;
};

}  // namespace kestview
