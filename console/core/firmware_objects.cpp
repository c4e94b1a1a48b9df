#include "firmware_objects.h"


#include "automation_error.h"
#include "direzo/firmware.h"
#include "oleaut/event_sink.h"
#include "oleaut/ocidl.h"
#include "oleaut/oleauto.h"

namespace kestview {

qint32 PDR::code() const { return get(u"Code").value.toLong("IPDR.Code"); }
QString PDR::key() const { return get(u"Key").value.toString("IPDR.Key"); }
qint32 PDR::length() const { return get(u"Length").value.toLong("IPDR.Length"); }
QString PDR::description() const { return get(u"Description").value.toString("IPDR.Description"); }
void PDR::setDescription(const QString& text) const { put(u"Description", Variant::fromString(text)); }
std::vector<qint32> PDR::pdr() const { return get(u"PDR").value.toIntegers("IPDR.PDR"); }
void PDR::setPdr(const std::vector<qint32>& words) const { put(u"PDR", Variant::fromIntegers(words, VT_I2)); }
void PDR::setArrayOfUnsignedChar(const QByteArray& bytes) const {
    put(u"ArrayOfUnsignedChar", Variant::fromBytes(bytes));
}
bool PDR::setCode(qint32 code) const { return call(u"setCode", {Variant::fromShort(qint16(code))}).done(); }
bool PDR::setKey(const QString& key) const { return call(u"setKey", {Variant::fromString(key)}).done(); }

qint32 PDA::count() const { return get(u"Count").value.toLong("IPDA.Count"); }
PDR PDA::item(const QString& key) const { return PDR(get(u"Item", {Variant::fromString(key)}).value.toDispatch("IPDA.Item")); }
PDR PDA::item(qint32 position) const {
    return PDR(get(u"Item", {Variant::fromLong(position)}).value.toDispatch("IPDA.Item"));
}
std::vector<PDR> PDA::all() const {
    std::vector<PDR> out;
    for (const Variant& v : enumerate()) out.emplace_back(v.toDispatch("IPDA._NewEnum"));
    return out;
}
bool PDA::clear() const { return call(u"Clear").value.toBool("IPDA.Clear"); }
bool PDA::addPDR(qint32 code) const { return call(u"AddPDR", {Variant::fromShort(qint16(code))}).value.toBool("IPDA.AddPDR"); }
qint32 PDA::removePDR(const QString& key) const {
    return call(u"RemovePDR", {Variant::fromString(key)}).value.toLong("IPDA.RemovePDR");
}
bool PDA::retrieve() const { return call(u"Retrieve").value.toBool("IPDA.Retrieve"); }
bool PDA::commit() const { return call(u"Commit").value.toBool("IPDA.Commit"); }
bool PDA::loadPDAFile(const QString& fileName) const {
    return call(u"LoadPDAFile", {Variant::fromString(fileName)}).value.toBool("IPDA.LoadPDAFile");
}

bool Firmware::loadHEXFile(const QString& fileName) const {
    return call(u"LoadHEXFile", {Variant::fromString(fileName)}).value.toBool("IFirmware.LoadHEXFile");
}
bool Firmware::flashImage() const { return call(u"FlashImage").value.toBool("IFirmware.FlashImage"); }
bool Firmware::plugImage() const { return call(u"PlugImage").value.toBool("IFirmware.PlugImage"); }
bool Firmware::makeCalPdrs() const { return call(u"MakeCalPdrs").value.toBool("IFirmware.MakeCalPdrs"); }
qint32 Firmware::totalImageBlocks() const { return get(u"TotalImageBlocks").value.toLong("IFirmware.TotalImageBlocks"); }
qint32 Firmware::hexLinesRead() const { return get(u"HexLinesRead").value.toLong("IFirmware.HexLinesRead"); }
qint32 Firmware::hexRecordsPlugged() const {
    return get(u"HexRecordsPlugged").value.toLong("IFirmware.HexRecordsPlugged");
}
qint32 Firmware::hexPlugs() const { return get(u"HexPlugs").value.toLong("IFirmware.HexPlugs"); }
std::vector<qint32> Firmware::versionInfo() const { return get(u"VersionInfo").value.toIntegers("IFirmware.VersionInfo"); }
std::vector<qint32> Firmware::platformInfo() const {
    return get(u"PlatformInfo").value.toIntegers("IFirmware.PlatformInfo");
}
std::vector<qint32> Firmware::compatibilityInfo() const {
    return get(u"CompatibilityInfo").value.toIntegers("IFirmware.CompatibilityInfo");
}

namespace {

// The FlashProgress event's dispatch id in the outgoing interface.
constexpr DISPID kFlashProgress = 1;

// The sink the connection point calls: FlashProgress(blockcount, blocklength, blockAddress).
class FlashProgressSink final : public oleaut::EventSink {
public:
    explicit FlashProgressSink(FlashProgressConnection::Handler handler)
        : EventSink(_IFirmwareEvents::iid, {{kFlashProgress, u"FlashProgress"}}), handler_(std::move(handler)) {}

private:
    HRESULT onEvent(const Event&, const DISPPARAMS& params) override {
        if (params.cArgs != 3) return DISP_E_BADPARAMCOUNT;
        qint32 v[3] = {};
        for (UINT i = 0; i < 3; ++i) {
            VARIANT out;
            VariantInit(&out);
            if (FAILED(VariantChangeType(&out, &params.rgvarg[2 - i], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
            v[i] = out.lVal;
        }
        if (handler_) handler_(v[0], v[1], v[2]);
        return S_OK;
    }

    FlashProgressConnection::Handler handler_;
};

}  // namespace

FlashProgressConnection::FlashProgressConnection(const Firmware& firmware, Handler handler) {
    if (!firmware) raiseConsoleError(kObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
    ComPtr<IConnectionPointContainer> container;
    firmware.dispatch()->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container ? container->FindConnectionPoint(_IFirmwareEvents::iid, point.put()) : E_NOINTERFACE;
    ComPtr<IDispatch> sink(new FlashProgressSink(std::move(handler)));
    if (SUCCEEDED(hr)) hr = point->Advise(sink.get(), &cookie_);
    if (FAILED(hr))
        throw AutomationError(hr, QStringLiteral("IFirmware"),
                              QStringLiteral("IFirmware offers no FlashProgress event connection"));
    point_ = ComPtr<IUnknown>(point.get());
}

FlashProgressConnection::~FlashProgressConnection() {
    ComPtr<IConnectionPoint> point;
    if (point_) point_->QueryInterface(IID_IConnectionPoint, point.putVoid());
    if (point) point->Unadvise(cookie_);
}

}  // namespace kestview
