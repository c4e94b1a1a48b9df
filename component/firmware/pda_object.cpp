#include "firmware/pda_object.h"

#include <array>

#include "common/text.h"
#include "firmware/pda_area.h"
#include "firmware/pda_text.h"
#include "firmware/pdr_list.h"
#include "firmware/pdr_object.h"
#include "firmware/session_port.h"

namespace direzo {

namespace {

constexpr char16_t kNoSession[] = u"No Adapter Object Reference";

std::u16string keyOf(WORD code) { return fromAnsi(firmware::PdrKey(code)); }

}  // namespace

const oleaut::InterfaceDesc& PDA::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(
        u"IPDA", IPDA::iid,
        {
            oleaut::hiddenMethod<&IPDA::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
            oleaut::propget<&IPDA::get_Count>(u"Count"),
            oleaut::newEnumMember<&IPDA::get__NewEnum>(),
            oleaut::itemMember<&IPDA::get_Item>({u"Index", u"pItem"}),
            oleaut::method<&IPDA::Clear>(u"Clear", {u"bResults"}),
            oleaut::method<&IPDA::AddPDR>(u"AddPDR", {u"pPDRCode", u"bResults"}),
            oleaut::method<&IPDA::RemovePDR>(u"RemovePDR", {u"pPdrItem", u"qtyRemoved"}),
            oleaut::method<&IPDA::Retrieve>(u"Retrieve", {u"bResults"}),
            oleaut::method<&IPDA::Commit>(u"Commit", {u"bResults"}),
            oleaut::method<&IPDA::LoadPDAFile>(u"LoadPDAFile", {u"filename", u"bResults"}),
        });
    return desc;
}

PDR* PDA::createItem(WORD code) {
    const std::u16string key = keyOf(code);
    if (items_.items().contains(key)) return nullptr;
    IPDR* item = nullptr;
    if (FAILED(oleaut::createObject<PDR>(IPDR::iid, reinterpret_cast<void**>(&item)))) return nullptr;
    auto* pdr = static_cast<PDR*>(item);
    pdr->setRecord(code, key, {});
    items_.items()[key] = ComPtr<IPDR>::attach(item);
    return pdr;
}

HRESULT PDA::get_Count(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = items_.count();
    return S_OK;
}

HRESULT PDA::get__NewEnum(IUnknown** pVal) { return items_.newEnum(EnumOrder::Ascending, pVal); }

HRESULT PDA::get_Item(VARIANT Index, IPDR** pItem) {
    return items_.item(Index, false, "IPDA", pItem,
                       [this](HRESULT status, const std::u16string& text) { return error(status, text); });
}

HRESULT PDA::Clear(LONG* bResults) {
    items_.items().clear();
    if (bResults) *bResults = 1;
    return S_OK;
}

HRESULT PDA::AddPDR(SHORT pPDRCode, LONG* bResults) {
    if (!bResults) return E_POINTER;
    *bResults = 0;
    PDR* item = createItem(WORD(pPDRCode));
    if (!item) return S_OK;
    // A new record holds one placeholder byte until the client gives it data.
    item->setRecord(WORD(pPDRCode), keyOf(WORD(pPDRCode)), {0xFF});
    *bResults = 1;
    return S_OK;
}

HRESULT PDA::RemovePDR(BSTR pPdrItem, SHORT* qtyRemoved) {
    if (!qtyRemoved) return E_POINTER;
    *qtyRemoved = SHORT(items_.items().erase(fromBstr(pPdrItem)));
    return S_OK;
}

HRESULT PDA::takeWalk(const firmware::AreaWalk& walk, LONG* bResults) {
    if (walk.malformed) {
        items_.items().clear();
        return S_FALSE;
    }
    for (const firmware::PdaRecord& record : walk.records) {
        if (PDR* item = createItem(record.code)) item->setRecord(record.code, keyOf(record.code), record.data);
    }
    *bResults = walk.complete ? 1 : 0;
    return S_OK;
}

HRESULT PDA::Retrieve(LONG* bResults) {
    if (!bResults) return E_POINTER;
    items_.items().clear();
    *bResults = 0;
    auto port = adapterPort(session_);
    if (!port) return error(E_FAIL, kNoSession);
    std::array<std::uint8_t, firmware::kProductionAreaBytes> area{};
    if (!port->ReadProductionArea(area)) return error(E_FAIL, u"Failed to read PDA from NIC adapter!");
    const firmware::AreaWalk walk = firmware::WalkAdapterArea(firmware::WordsFromBytes(area));
    const HRESULT hr = takeWalk(walk, bResults);
    // The records stay listed, so that a damaged area can be repaired, but the caller is told.
    if (hr == S_OK && walk.complete && !walk.crcMatches()) {
        return error(S_FALSE, format("IPDA : Retrieve: the area's CRC 0x%04X does not match its records (0x%04X)",
                                     unsigned(walk.storedCrc), unsigned(walk.computedCrc)));
    }
    return hr;
}

HRESULT PDA::LoadPDAFile(BSTR filename, LONG* bResults) {
    if (!bResults) return E_POINTER;
    items_.items().clear();
    *bResults = 0;
    if (!adapterPort(session_)) return error(E_FAIL, kNoSession);
    std::array<std::uint16_t, firmware::kPdaWords> words{};
    const std::size_t n = firmware::ParsePdaFile(toAnsi(fromBstr(filename)), words, progressStream());
    if (n == 0) return error(E_FAIL, u"Failed to read PDA correctly from File - Check file content !");
    return takeWalk(firmware::WalkFileWords(std::span(words).first(n)), bResults);
}

HRESULT PDA::Commit(LONG* bResults) {
    if (!bResults) return E_POINTER;
    *bResults = 0;
    auto port = adapterPort(session_);
    if (!port) return error(E_FAIL, kNoSession);
    std::vector<firmware::PdaRecord> records;
    for (const auto& [key, item] : items_.items()) {
        const auto* pdr = static_cast<const PDR*>(item.get());
        records.push_back({pdr->code(), pdr->data()});
    }
    std::string problem;
    const auto image = firmware::BuildAreaImage(records, problem);
    if (!image) return error(E_FAIL, fromAnsi("IPDA : Commit refused: " + problem));
    const firmware::AreaWrite written = firmware::WriteProductionArea(*port, *image);
    if (written == firmware::AreaWrite::NotHeld)
        return error(S_OK, u"IPDA : Commit: the production data area does not hold the records written");
    *bResults = written == firmware::AreaWrite::Written ? 1 : 0;
    return S_OK;
}

}  // namespace direzo
