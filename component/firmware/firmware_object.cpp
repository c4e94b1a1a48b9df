#include "firmware/firmware_object.h"

#include <array>
#include <vector>

#include "common/safe_arrays.h"
#include "common/text.h"
#include "firmware/calibration.h"
#include "firmware/flashing.h"
#include "firmware/plugging.h"
#include "firmware/session_port.h"

namespace direzo {

namespace {

constexpr DISPID kFlashProgressId = 1;
constexpr LCID kSinkLocale = 0x400;

// Marks a download in progress for as long as it lives.
class DownloadInProgress {
public:
    explicit DownloadInProgress(bool& flag) : flag_(flag) { flag_ = true; }
    ~DownloadInProgress() { flag_ = false; }
    DownloadInProgress(const DownloadInProgress&) = delete;
    DownloadInProgress& operator=(const DownloadInProgress&) = delete;

private:
    bool& flag_;
};

}  // namespace

const oleaut::InterfaceDesc& Firmware::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(
        u"IFirmware", IFirmware::iid,
        {
            oleaut::hiddenMethod<&IFirmware::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
            oleaut::method<&IFirmware::LoadHEXFile>(u"LoadHEXFile", {u"filename", u"bResults"}),
            oleaut::method<&IFirmware::FlashImage>(u"FlashImage", {u"bResults"}),
            oleaut::method<&IFirmware::PlugImage>(u"PlugImage", {u"bResults"}),
            oleaut::propget<&IFirmware::get_TotalImageBlocks>(u"TotalImageBlocks"),
            oleaut::propget<&IFirmware::get_HexLinesRead>(u"HexLinesRead"),
            oleaut::propget<&IFirmware::get_HexRecordsPlugged>(u"HexRecordsPlugged"),
            oleaut::propget<&IFirmware::get_HexPlugs>(u"HexPlugs"),
            oleaut::propget<&IFirmware::get_VersionInfo>(u"VersionInfo"),
            oleaut::propget<&IFirmware::get_PlatformInfo>(u"PlatformInfo"),
            oleaut::propget<&IFirmware::get_CompatibilityInfo>(u"CompatibilityInfo"),
            oleaut::method<&IFirmware::MakeCalPdrs>(u"MakeCalPdrs", {u"bResults"}),
        });
    return desc;
}

// The records are taken afresh: a record the adapter no longer holds must not be plugged.
bool Firmware::refreshProductionData() {
    auto port = adapterPort(session_);
    if (!port) return false;
    std::array<std::uint8_t, firmware::kProductionAreaBytes> area{};
    if (!port->ReadProductionArea(area)) return false;
    firmware::PdrList fresh;
    fresh.LoadWords(firmware::WordsFromBytes(area));
    for (const auto& [code, record] : calibration_.records()) fresh.Add(record.words);
    pdrs_ = std::move(fresh);
    return true;
}

// While FlashImage sends the image, an event handler calling back must not change the image or
// the records it is being built from: the adapter would end up with parts of two images.
HRESULT Firmware::refusedDuringDownload(const char* member, LONG* bResults) {
    *bResults = 0;
    return error(E_FAIL, format("IFirmware : %s refused: a download is in progress", member));
}

HRESULT Firmware::LoadHEXFile(BSTR filename, LONG* bResults) {
    if (!bResults) return E_POINTER;
    if (downloading_) return refusedDuringDownload("LoadHEXFile", bResults);
    *bResults = 0;
    loaded_.Clear();
    calibration_ = {};  // a new image is plugged with calibration records derived for it
    fileName_ = toAnsi(fromBstr(filename));
    hexLinesRead_ = LONG(firmware::LoadSrecFile(*fileName_, loaded_, progressStream()));
    if (hexLinesRead_ == 0) {
        // Half an image must never reach the adapter.
        loaded_.Clear();
        return S_OK;
    }
    *bResults = 1;
    hexPlugs_ = LONG(loaded_.plugs.size());
    refreshProductionData();  // without it the image can still be plugged from records held
    return S_OK;
}

HRESULT Firmware::MakeCalPdrs(LONG* bResults) {
    if (!bResults) return E_POINTER;
    if (downloading_) return refusedDuringDownload("MakeCalPdrs", bResults);
    refreshProductionData();
    *bResults = firmware::MakeCalibrationRecords(pdrs_, progressStream()) ? 1 : 0;
    if (*bResults) {
        for (const std::uint16_t code : {firmware::kPdrSetPoints, firmware::kPdrIntegrators})
            if (const firmware::RawPdr* built = pdrs_.Find(code)) calibration_.Add(built->words);
    }
    return S_OK;
}

HRESULT Firmware::PlugImage(LONG* bResults) {
    if (!bResults) return E_POINTER;
    if (downloading_) return refusedDuringDownload("PlugImage", bResults);
    // What the adapter holds now: a record removed since LoadHEXFile is not plugged.
    refreshProductionData();
    hexRecordsPlugged_ = LONG(firmware::PlugImage(loaded_, pdrs_, fileName_, progressStream()));
    *bResults = hexRecordsPlugged_ != 0 ? 1 : 0;
    return S_OK;
}

void Firmware::fireFlashProgress(LONG blockCount, LONG blockLength, LONG blockAddress) {
    for (const ComPtr<IDispatch>& sink : events().dispatchSinks()) {
        std::array<VARIANT, 3> args{};
        // Arguments stand in reverse order: blockAddress first.
        const std::array<LONG, 3> values{blockAddress, blockLength, blockCount};
        for (std::size_t i = 0; i < args.size(); ++i) {
            VariantInit(&args[i]);
            args[i].vt = VT_I4;
            args[i].lVal = values[i];
        }
        DISPPARAMS params{args.data(), nullptr, UINT(args.size()), 0};
        sink->Invoke(kFlashProgressId, GUID_NULL, kSinkLocale, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
}

HRESULT Firmware::FlashImage(LONG* bResults) {
    if (!bResults) return E_POINTER;
    if (downloading_) return refusedDuringDownload("FlashImage", bResults);
    *bResults = 0;
    // Without an image the card would only be reset, which is no download.
    if (loaded_.image.empty())
        return error(E_FAIL, u"IFirmware : FlashImage refused: no image is loaded (LoadHEXFile first)");
    auto port = adapterPort(session_);
    if (!port) return error(E_FAIL, u"No Adapter Object Reference");
    firmware::FlashResult result;
    {
        const DownloadInProgress inProgress(downloading_);
        result = firmware::FlashImage(loaded_.image, *port, [this](std::uint16_t n, std::uint32_t length, std::uint32_t address) {
            fireFlashProgress(LONG(n), LONG(length), LONG(address));
        });
    }
    if (!result.ok) {
        return error(E_FAIL, format("IFirmware : Block %u at address 0x%06X could not be written",
                                    unsigned(result.failedBlock), unsigned(result.failedAddress)));
    }
    *bResults = 1;
    return S_OK;
}

HRESULT Firmware::get_TotalImageBlocks(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = LONG(loaded_.image.TotalImageBlocks());
    return S_OK;
}

HRESULT Firmware::get_HexLinesRead(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = hexLinesRead_;
    return S_OK;
}

HRESULT Firmware::get_HexRecordsPlugged(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = hexRecordsPlugged_;
    return S_OK;
}

HRESULT Firmware::get_HexPlugs(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = hexPlugs_;
    return S_OK;
}

// The valid entries of an information table as one array of 16-bit integers, the fields of each
// entry in their record order (VERSION_INFO, PLATFORM_INFO, COMPATIBILITY_INFO).
HRESULT Firmware::get_VersionInfo(VARIANT* pVal) {
    std::vector<SHORT> fields;
    for (const firmware::VersionSlot* slot : {&loaded_.info.versionA, &loaded_.info.versionB}) {
        if (slot->valid) fields.insert(fields.end(), {slot->type, slot->major, slot->minor, slot->variant});
    }
    return shortArrayVariant(fields, pVal);
}

HRESULT Firmware::get_PlatformInfo(VARIANT* pVal) {
    std::vector<SHORT> fields;
    for (const auto& p : loaded_.info.platforms) {
        if (p.valid) fields.insert(fields.end(), {p.platformId, p.variant, p.bottom, p.top});
    }
    return shortArrayVariant(fields, pVal);
}

HRESULT Firmware::get_CompatibilityInfo(VARIANT* pVal) {
    std::vector<SHORT> fields;
    for (const auto& c : loaded_.info.compatibility) {
        if (c.valid) fields.insert(fields.end(), {c.role, c.ifid, c.variant, c.bottom, c.top});
    }
    return shortArrayVariant(fields, pVal);
}

}  // namespace direzo
