// The Firmware object: loads a station firmware image from an S-record file, derives the
// calibration records, plugs the image with production data and downloads it to the adapter,
// reporting each block through FlashProgress.
#pragma once

#include <optional>
#include <string>

#include "direzo/subobjects.h"
#include "firmware/pdr_list.h"
#include "firmware/srec_reader.h"
#include "server/session_object.h"

namespace direzo {

class Firmware final : public SessionObject<Firmware, IFirmware, ComponentObjectWithEvents<Firmware, IFirmware, _IFirmwareEvents>> {
public:
    static constexpr const ClassDescriptor& kClass = kFirmwareClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    HRESULT LoadHEXFile(BSTR filename, LONG* bResults) override;
    HRESULT FlashImage(LONG* bResults) override;
    HRESULT PlugImage(LONG* bResults) override;
    HRESULT get_TotalImageBlocks(LONG* pVal) override;
    HRESULT get_HexLinesRead(LONG* pVal) override;
    HRESULT get_HexRecordsPlugged(LONG* pVal) override;
    HRESULT get_HexPlugs(LONG* pVal) override;
    HRESULT get_VersionInfo(VARIANT* pVal) override;
    HRESULT get_PlatformInfo(VARIANT* pVal) override;
    HRESULT get_CompatibilityInfo(VARIANT* pVal) override;
    HRESULT MakeCalPdrs(LONG* bResults) override;

private:
    // Replaces pdrs_ with the records of the adapter's production data area, with the calibration
    // records built by MakeCalPdrs over them; false (pdrs_ kept) when it cannot be read.
    bool refreshProductionData();
    // bResults 0 and E_FAIL with the text naming `member`.
    HRESULT refusedDuringDownload(const char* member, LONG* bResults);
    void fireFlashProgress(LONG blockCount, LONG blockLength, LONG blockAddress);

    firmware::LoadedImage loaded_;
    firmware::PdrList pdrs_;
    firmware::PdrList calibration_;  // what MakeCalPdrs built since LoadHEXFile, laid over every refresh
    std::optional<std::string> fileName_;
    LONG hexLinesRead_ = 0;
    LONG hexPlugs_ = 0;
    LONG hexRecordsPlugged_ = 0;
    bool downloading_ = false;  // FlashImage is sending the image
};

}  // namespace direzo
