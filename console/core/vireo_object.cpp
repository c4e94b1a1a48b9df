#include "vireo_object.h"

#include "baseband_objects.h"
#include "firmware_objects.h"
#include "record_objects.h"
#include "tallies_object.h"

namespace kestview {

BBPRegs Vireo::bbpRegs() const { return BBPRegs(get(u"BBPRegs").value.toDispatch("IVireo.BBPRegs")); }
Rids Vireo::rids() const { return Rids(get(u"RIDs").value.toDispatch("IVireo.RIDs")); }
Firmware Vireo::firmware() const { return Firmware(get(u"Firmware").value.toDispatch("IVireo.Firmware")); }
PDA Vireo::pda() const { return PDA(get(u"PDA").value.toDispatch("IVireo.PDA")); }
Tallies Vireo::tallies() const { return Tallies(get(u"Tallies").value.toDispatch("IVireo.Tallies")); }
qint32 Vireo::blockProtocols() const { return get(u"BlockProtocols").value.toLong("IVireo.BlockProtocols"); }
void Vireo::setBlockProtocols(qint32 value) const { put(u"BlockProtocols", Variant::fromLong(value)); }

bool Vireo::initPhy() const { return call(u"InitPhy").done(); }
bool Vireo::resetPhy() const { return call(u"ResetPhy").done(); }
bool Vireo::sleepPhy() const { return call(u"SleepPhy").done(); }
bool Vireo::wakePhy() const { return call(u"WakePhy").done(); }
bool Vireo::setChannel(qint32 channel) const { return call(u"SetChannel", {Variant::fromLong(channel)}).done(); }
bool Vireo::continuousTx(qint32 pattern) const { return call(u"ContinuousTx", {Variant::fromLong(pattern)}).done(); }
bool Vireo::continuousRx() const { return call(u"ContinuousRx").done(); }
bool Vireo::monitorMode() const { return call(u"MonitorMode").done(); }

bool Vireo::stopTest(qint32* id) const {
    Result r = call(u"StopTest");
    if (id) *id = r.value.isEmpty() ? 0 : r.value.toLong("IVireo.StopTest");
    return r.done();
}

bool Vireo::pbodSuppression() const { return call(u"PBODSuppression").done(); }
bool Vireo::txExSuppression() const { return call(u"TxExSuppression").done(); }
bool Vireo::calEnable() const { return call(u"CalEnable").done(); }
bool Vireo::setSignalState(qint32 signal) const { return call(u"SetSignalState", {Variant::fromLong(signal)}).done(); }
bool Vireo::initialize() const { return call(u"Initialize").done(); }
bool Vireo::enablePort(qint16 port) const { return call(u"EnablePort", {Variant::fromShort(port)}).done(); }
bool Vireo::disablePort(qint16 port) const { return call(u"DisablePort", {Variant::fromShort(port)}).done(); }
bool Vireo::cardReset() const { return call(u"CardReset").done(); }

QByteArray Vireo::readData(qint32 address, qint32 length) const {
    return call(u"ReadData", {Variant::fromLong(address), Variant::fromLong(length)}).value.toBytes("IVireo.ReadData");
}

std::optional<QByteArray> Vireo::sendCmd(qint32 cmd, qint32 param0, qint32 param1, qint32 param2) const {
    const Result r = call(u"SendCmd", {Variant::fromLong(cmd), Variant::fromLong(param0), Variant::fromLong(param1),
                                       Variant::fromLong(param2)});
    if (!r.done()) return std::nullopt;
    return r.value.toBytes("IVireo.SendCmd");
}

}  // namespace kestview
