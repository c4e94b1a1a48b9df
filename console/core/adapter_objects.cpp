#include "adapter_objects.h"

#include "vireo_object.h"

namespace kestview {

QString Adapter::description() const { return get(u"Description").value.toString("IAdapter.Description"); }
QString Adapter::enumerator() const { return get(u"Enumerator").value.toString("IAdapter.Enumerator"); }
QString Adapter::label() const { return get(u"Label").value.toString("IAdapter.Label"); }
QString Adapter::productName() const { return get(u"ProductName").value.toString("IAdapter.ProductName"); }
QString Adapter::serviceName() const { return get(u"ServiceName").value.toString("IAdapter.ServiceName"); }
QString Adapter::symbolicLink() const { return get(u"SymbolicLink").value.toString("IAdapter.SymbolicLink"); }
QString Adapter::title() const { return get(u"Title").value.toString("IAdapter.Title"); }
bool Adapter::isVela() const { return get(u"IsVela").value.toBool("IAdapter.IsVela"); }
bool Adapter::isOpen() const { return get(u"IsOpen").value.toBool("IAdapter.IsOpen"); }
qint32 Adapter::driverVersion() const { return get(u"DriverVersion").value.toLong("IAdapter.DriverVersion"); }
Vireo Adapter::vireo() const { return Vireo(get(u"Vireo").value.toDispatch("IAdapter.Vireo")); }
bool Adapter::open() const { return call(u"Open").value.toBool("IAdapter.Open"); }
void Adapter::close() const { call(u"Close"); }

qint32 Adapters::count() const { return get(u"Count").value.toLong("IAdapters.Count"); }

Adapter Adapters::item(const QString& key) const {
    return Adapter(get(u"Item", {Variant::fromString(key)}).value.toDispatch("IAdapters.Item"));
}

Adapter Adapters::item(qint32 position) const {
    return Adapter(get(u"Item", {Variant::fromLong(position)}).value.toDispatch("IAdapters.Item"));
}

std::vector<Adapter> Adapters::all() const {
    std::vector<Adapter> out;
    for (const Variant& v : enumerate()) out.emplace_back(v.toDispatch("IAdapters._NewEnum"));
    return out;
}

}  // namespace kestview
