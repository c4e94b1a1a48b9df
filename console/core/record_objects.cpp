#include "record_objects.h"

namespace kestview {

qint32 Rid::type() const { return get(u"type").value.toLong("IRid.type"); }
QString Rid::id() const { return get(u"Id").value.toString("IRid.Id"); }
QString Rid::key() const { return get(u"Key").value.toString("IRid.Key"); }
qint32 Rid::no() const { return get(u"No").value.toLong("IRid.No"); }
qint32 Rid::length() const { return get(u"Length").value.toLong("IRid.Length"); }
QString Rid::name() const { return get(u"Name").value.toString("IRid.Name"); }
void Rid::setName(const QString& name) const { put(u"Name", Variant::fromString(name)); }
QByteArray Rid::ridAsByteArray() const { return get(u"RidAsByteArray").value.toBytes("IRid.RidAsByteArray"); }
bool Rid::setRidAsByteArray(const QByteArray& bytes) const {
    return put(u"RidAsByteArray", Variant::fromBytes(bytes)) == S_OK;
}
QString Rid::ridStringValue() const { return get(u"RidStringValue").value.toString("IRid.RidStringValue"); }
bool Rid::setRidStringValue(const QString& text) const {
    return put(u"RidStringValue", Variant::fromString(text)) == S_OK;
}
std::vector<qint32> Rid::ridAsIntArray() const { return get(u"RidAsIntArray").value.toIntegers("IRid.RidAsIntArray"); }
void Rid::setRidAsIntArray(const std::vector<qint32>& words) const {
    put(u"RidAsIntArray", Variant::fromIntegers(words, VT_I4));
}

qint32 Rid::getAsInteger(qint32 index) const {
    return call(u"GetAsInteger", {Variant::fromLong(index)}).value.toLong("IRid.GetAsInteger");
}

bool Rid::setAsInteger(qint32 index, qint32 value) const {
    return call(u"SetAsInteger", {Variant::fromLong(index), Variant::fromLong(value)}).done();
}

bool Rid::setId(const QString& id) const { return call(u"setId", {Variant::fromString(id)}).done(); }
bool Rid::setKey(const QString& key) const { return call(u"setKey", {Variant::fromString(key)}).done(); }
bool Rid::setNo(qint32 no) const { return call(u"setNo", {Variant::fromLong(no)}).done(); }
bool Rid::setLength(qint32 length) const { return call(u"setLength", {Variant::fromLong(length)}).done(); }

qint32 Rids::count() const { return get(u"Count").value.toLong("IRids.Count"); }
Rid Rids::item(const QString& id) const { return Rid(get(u"Item", {Variant::fromString(id)}).value.toDispatch("IRids.Item")); }
Rid Rids::item(qint32 position) const {
    return Rid(get(u"Item", {Variant::fromLong(position)}).value.toDispatch("IRids.Item"));
}

std::vector<Rid> Rids::all() const {
    std::vector<Rid> out;
    for (const Variant& v : enumerate()) out.emplace_back(v.toDispatch("IRids._NewEnum"));
    return out;
}

}  // namespace kestview
