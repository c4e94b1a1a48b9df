#include "vireo/vireo.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>

#include "baseband/baseband_family.h"
#include "baseband/bbp_regs.h"
#include "common/safe_arrays.h"
#include "common/word_argument.h"
#include "firmware/firmware_object.h"
#include "firmware/pda_object.h"
#include "records/rids.h"
#include "tallies/tallies.h"

namespace direzo {

namespace {

// Controller commands. Test-mode commands carry 0x38 in the low byte and the test in the high byte.
constexpr WORD kCmdInitialize = 0x0000;
constexpr WORD kCmdEnablePort = 0x0001;
constexpr WORD kCmdDisablePort = 0x0002;
constexpr WORD kTestResetPhy = 0x0038;
constexpr WORD kTestInitPhy = 0x0138;
constexpr WORD kTestSleepPhy = 0x0238;
constexpr WORD kTestWakePhy = 0x0338;
constexpr WORD kTestSetChannel = 0x0838;
constexpr WORD kTestPostBackoffSuppression = 0x0938;
constexpr WORD kTestTxExceptionSuppression = 0x0A38;
constexpr WORD kTestMonitorMode = 0x0B38;
constexpr WORD kTestContinuousTx = 0x0E38;
constexpr WORD kTestStop = 0x0F38;
constexpr WORD kTestContinuousRx = 0x1038;
constexpr WORD kTestSignalState = 0x1138;
constexpr WORD kTestCalibrationEnable = 0x1338;

constexpr LONG kFirstChannel = 1, kLastChannel = 14;
constexpr SHORT kLastPort = 6;
// Continuous transmit with pattern 0 sends all ones.
constexpr WORD kDefaultTxPattern = 0xFFFF;

template <class T, class I>
HRESULT create(ComPtr<I>& slot) {
    return oleaut::createObject<T>(I::iid, slot.putVoid());
}

}  // namespace

const oleaut::InterfaceDesc& Vireo::dispatchTable() {
    static const oleaut::InterfaceDesc desc = [] {
        using namespace oleaut;
        return dualInterface(u"IVireo", IVireo::iid, {
            hiddenMethod<&IVireo::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
            propget<&IVireo::get_BlockProtocols>(u"BlockProtocols"),
            propput<&IVireo::put_BlockProtocols>(u"BlockProtocols"),
            propget<&IVireo::get_BBPRegs>(u"BBPRegs"),
            propget<&IVireo::get_Firmware>(u"Firmware"),
            propget<&IVireo::get_PDA>(u"PDA"),
            propget<&IVireo::get_RIDs>(u"RIDs"),
            method<&IVireo::Init>(u"Init", {u"_handle", u"_olptr", u"presults"}),
            method<&IVireo::InitPhy>(u"InitPhy"),
            method<&IVireo::ResetPhy>(u"ResetPhy"),
            method<&IVireo::SleepPhy>(u"SleepPhy"),
            method<&IVireo::WakePhy>(u"WakePhy"),
            method<&IVireo::SetChannel>(u"SetChannel", {u"channelNo"}),
            method<&IVireo::ContinuousTx>(u"ContinuousTx", {u"lPattern"}),
            method<&IVireo::ContinuousRx>(u"ContinuousRx"),
            method<&IVireo::MonitorMode>(u"MonitorMode"),
            method<&IVireo::StopTest>(u"StopTest", {u"Id"}),
            method<&IVireo::PBODSuppression>(u"PBODSuppression"),
            method<&IVireo::TxExSuppression>(u"TxExSuppression"),
            method<&IVireo::CalEnable>(u"CalEnable"),
            method<&IVireo::SetSignalState>(u"SetSignalState", {u"signal"}),
            method<&IVireo::Initialize>(u"Initialize"),
            method<&IVireo::EnablePort>(u"EnablePort", {u"MACPort"}),
            method<&IVireo::DisablePort>(u"DisablePort", {u"MACPort"}),
            method<&IVireo::CardReset>(u"CardReset"),
            method<&IVireo::ReadData>(u"ReadData", {u"address", u"Length", u"pData"}),
            propget<&IVireo::get_Tallies>(u"Tallies"),
            method<&IVireo::SendCmd>(u"SendCmd", {u"cmd", u"param0", u"param1", u"param2", u"respVal"}),
        });
    }();
    return desc;
}

Vireo::Vireo() {
    const HRESULT hr = [&] {
        HRESULT r;
        if (FAILED(r = create<BBPRegs>(bbpRegs_))) return r;
        if (FAILED(r = create<Rids>(rids_))) return r;
        if (FAILED(r = create<PDA>(pda_))) return r;
        if (FAILED(r = create<Firmware>(firmware_))) return r;
        return create<Tallies>(tallies_);
    }();
    if (FAILED(hr)) {
        tallies_.reset();
        firmware_.reset();
        pda_.reset();
        rids_.reset();
        bbpRegs_.reset();
    }
}

HRESULT Vireo::_SetApiObj(LONG apiObj) {
    session_.set(apiObj);
    if (bbpRegs_) bbpRegs_->_SetApiObj(apiObj);
    if (rids_) rids_->_SetApiObj(apiObj);
    if (pda_) pda_->_SetApiObj(apiObj);
    if (firmware_) firmware_->_SetApiObj(apiObj);
    if (tallies_) tallies_->_SetApiObj(apiObj);
    if (!session_) return noSession(S_FALSE);
    return S_OK;
}

HRESULT Vireo::handOut(IDispatch* object, IDispatch** pVal) {
    if (!pVal) return E_POINTER;
    *pVal = object;
    if (object) object->AddRef();
    return S_OK;
}

HRESULT Vireo::command(WORD cmd, WORD param0) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    CommandBlock block;
    block.cmd = cmd;
    block.param0 = param0;
    return session->SendCommand(block) ? S_OK : S_FALSE;
}

HRESULT Vireo::get_BlockProtocols(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = protocolsBlocked_ ? 1 : 0;
    return S_OK;
}

// The flag records what the driver answered: blocked after a successful block, and still counted
// as blocked after an unblock that failed.
HRESULT Vireo::put_BlockProtocols(LONG newVal) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    bool done;
    if (newVal != 0) {
        done = session->BlockProtocols();
        protocolsBlocked_ = done;
    } else {
        done = session->UnblockProtocols();
        protocolsBlocked_ = !done;
    }
    return done ? S_OK : S_FALSE;
}

// Only the medium query is made; the arguments and presults are kept for existing callers.
HRESULT Vireo::Init(LONG, LONG, LONG*) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    session->QueryMediumInUse();
    return S_OK;
}

HRESULT Vireo::InitPhy() { return command(kTestInitPhy); }
HRESULT Vireo::ResetPhy() { return command(kTestResetPhy); }

// Protocol traffic is blocked before the radio sleeps and unblocked before it wakes; a request
// the driver carried out shows in BlockProtocols, a failed one leaves it as it was.
HRESULT Vireo::SleepPhy() {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    if (session->BlockProtocols()) protocolsBlocked_ = true;
    return command(kTestSleepPhy);
}

HRESULT Vireo::WakePhy() {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    if (session->UnblockProtocols()) protocolsBlocked_ = false;
    return command(kTestWakePhy);
}

HRESULT Vireo::SetChannel(LONG channelNo) {
    if (channelNo < kFirstChannel || channelNo > kLastChannel) return S_FALSE;
    return command(kTestSetChannel, WORD(channelNo));
}

HRESULT Vireo::ContinuousTx(LONG lPattern) {
    const std::optional<WORD> pattern = wordArgument(lPattern);
    if (!pattern) return S_FALSE;
    return command(kTestContinuousTx, *pattern == 0 ? kDefaultTxPattern : *pattern);
}

HRESULT Vireo::ContinuousRx() { return command(kTestContinuousRx); }
HRESULT Vireo::MonitorMode() { return command(kTestMonitorMode); }
HRESULT Vireo::StopTest(LONG*) { return command(kTestStop); }
HRESULT Vireo::PBODSuppression() { return command(kTestPostBackoffSuppression); }
HRESULT Vireo::TxExSuppression() { return command(kTestTxExceptionSuppression); }
HRESULT Vireo::Initialize() { return command(kCmdInitialize); }

HRESULT Vireo::birchFamily(bool& birch) {
    birch = false;
    if (!session_) return noSession(S_FALSE);
    LONG type = BBP_UNKNOWN;
    if (bbpRegs_) bbpRegs_->get_BBPType(&type);
    birch = familyOf(type) == BasebandFamily::Birch;
    return S_OK;
}

// Only the Birch family has a calibration mode.
HRESULT Vireo::CalEnable() {
    bool birch;
    if (const HRESULT hr = birchFamily(birch); hr != S_OK) return hr;
    return birch ? command(kTestCalibrationEnable) : S_FALSE;
}

// Only the Birch family takes a signal state; for other basebands there is nothing to do.
HRESULT Vireo::SetSignalState(LONG signal) {
    const std::optional<WORD> state = wordArgument(signal);
    if (!state) return S_FALSE;
    bool birch;
    if (const HRESULT hr = birchFamily(birch); hr != S_OK) return hr;
    return birch ? command(kTestSignalState, *state) : S_OK;
}

HRESULT Vireo::EnablePort(SHORT MACPort) {
    if (MACPort < 0 || MACPort > kLastPort) return S_FALSE;
    return command(WORD(kCmdEnablePort + (MACPort << 8)));
}

HRESULT Vireo::DisablePort(SHORT MACPort) {
    if (MACPort < 0 || MACPort > kLastPort) return S_FALSE;
    return command(WORD(kCmdDisablePort + (MACPort << 8)));
}

HRESULT Vireo::CardReset() {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    return session->ResetCard() ? S_OK : S_FALSE;
}

// At most one transfer (8192 bytes) is read; a longer Length gives exactly those bytes. A
// negative Length is out of range.
HRESULT Vireo::ReadData(LONG address, LONG Length, VARIANT* pData) {
    if (!pData) return E_POINTER;
    VariantInit(pData);
    AdapterSession* session = session_.get();
    if (!session) return noSession(E_FAIL);
    if (Length < 0) {
        byteArrayVariant({}, pData);
        return S_FALSE;
    }
    auto transfer = std::make_unique<MemoryTransfer>();
    transfer->address = DWORD(address);
    transfer->length = WORD(std::min<LONG>(Length, kMemoryTransferMax));
    if (!session->ReadMemory(*transfer)) return E_FAIL;
    return byteArrayVariant({transfer->data, transfer->length}, pData);
}

// The three responses' low bytes; a failed command leaves them 0 and answers status 1, so that it
// can be told from registers that hold 0. An argument outside 16 bits sends nothing.
HRESULT Vireo::SendCmd(LONG cmd, LONG param0, LONG param1, LONG param2, VARIANT* respVal) {
    if (!respVal) return E_POINTER;
    BYTE response[3] = {0, 0, 0};
    AdapterSession* session = session_.get();
    const std::optional<WORD> words[4] = {wordArgument(cmd), wordArgument(param0), wordArgument(param1),
                                          wordArgument(param2)};
    const bool inRange = std::all_of(std::begin(words), std::end(words), [](const auto& w) { return w.has_value(); });
    bool done = false;
    if (session && inRange) {
        CommandBlock block;
        block.cmd = *words[0];
        block.param0 = *words[1];
        block.param1 = *words[2];
        block.param2 = *words[3];
        done = session->SendCommand(block);
        if (done) {
            response[0] = BYTE(block.resp0());
            response[1] = BYTE(block.resp1());
            response[2] = BYTE(block.resp2());
        }
    }
    const HRESULT hr = byteArrayVariant(response, respVal);
    if (FAILED(hr)) return hr;
    if (!session) return noSession(S_FALSE);
    return done ? S_OK : S_FALSE;
}

}  // namespace direzo
