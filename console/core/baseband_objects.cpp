#include "baseband_objects.h"

namespace kestview {

QString BBPReg::id() const { return get(u"Id").value.toString("IBBPReg.Id"); }
QString BBPReg::key() const { return get(u"Key").value.toString("IBBPReg.Key"); }
qint32 BBPReg::no() const { return get(u"No").value.toLong("IBBPReg.No"); }
qint32 BBPReg::type() const { return get(u"type").value.toLong("IBBPReg.type"); }
qint32 BBPReg::value() const { return get(u"Value").value.toLong("IBBPReg.Value"); }
void BBPReg::setValue(qint32 value) const { put(u"Value", Variant::fromLong(value)); }
void BBPReg::setBBPType(qint32 model) const { put(u"BBPType", Variant::fromLong(model)); }

qint32 BBPRegs::count() const { return get(u"Count").value.toLong("IBBPRegs.Count"); }
qint32 BBPRegs::bbpType() const { return get(u"BBPType").value.toLong("IBBPRegs.BBPType"); }
BBPReg BBPRegs::item(const QString& name) const {
    return BBPReg(get(u"Item", {Variant::fromString(name)}).value.toDispatch("IBBPRegs.Item"));
}
BBPReg BBPRegs::item(qint32 position) const {
    return BBPReg(get(u"Item", {Variant::fromLong(position)}).value.toDispatch("IBBPRegs.Item"));
}

std::vector<BBPReg> BBPRegs::all() const {
    std::vector<BBPReg> out;
    for (const Variant& v : enumerate()) out.emplace_back(v.toDispatch("IBBPRegs._NewEnum"));
    return out;
}

}  // namespace kestview
