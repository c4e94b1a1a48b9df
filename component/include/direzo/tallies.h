// ITallies: the adapter's statistics counters.
#pragma once

#include "oleaut/oaidl.h"

// The statistics record (176 bytes, the payload of the tally OID): 44 signed 32-bit counters.
struct TALLY_INFO {
    LONG txUnicast, txMulticast, txFrags, txUniOctets, txMultiOctets, txDeferredTx, txSingleRetries,
        txMultipleRetries, txRetryLimitExc, txDiscards;
    LONG rxUnicast, rxMulticast, rxFrags, rxUniOctets, rxMultiOctets, rxFCSErrors, rxNoBuffer, txWrongSA,
        rxWEPUndecryp, rxMsgInMsg, rxMsgInBadMsg;
    LONG huntCmd, rxOvr, retryMany, retrySingle, retryExhaust, crcError, plcpCrc, frameTooLong, retryLong,
        retryShort, expReport, rxDuplicates, txRtsSuccess, txRtsFailure, txAckFailure;
    LONG reserved[8];
};
static_assert(sizeof(TALLY_INFO) == 176);

// Members in slot order: the 36 named counters of the last snapshot, then RawTallies, Refresh and
// the session hand-over.
struct ITallies : IDispatch {
    static constexpr IID iid = makeGuid("8B3DD95B-46B2-4E1C-9C7F-2EBF87AED828");
    virtual HRESULT get_txUnicast(LONG* pVal) = 0;
    virtual HRESULT get_txMulticast(LONG* pVal) = 0;
    virtual HRESULT get_txFrags(LONG* pVal) = 0;
    virtual HRESULT get_txUniOctets(LONG* pVal) = 0;
    virtual HRESULT get_txMultiOctets(LONG* pVal) = 0;
    virtual HRESULT get_txDeferredTx(LONG* pVal) = 0;
    virtual HRESULT get_txSingleRetries(LONG* pVal) = 0;
    virtual HRESULT get_txMultipleRetries(LONG* pVal) = 0;
    virtual HRESULT get_txRetryLimitExc(LONG* pVal) = 0;
    virtual HRESULT get_txDiscards(LONG* pVal) = 0;
    virtual HRESULT get_rxUnicast(LONG* pVal) = 0;
    virtual HRESULT get_rxMulticast(LONG* pVal) = 0;
    virtual HRESULT get_rxFrags(LONG* pVal) = 0;
    virtual HRESULT get_rxUniOctets(LONG* pVal) = 0;
    virtual HRESULT get_rxMultiOctets(LONG* pVal) = 0;
    virtual HRESULT get_rxFCSErrors(LONG* pVal) = 0;
    virtual HRESULT get_rxNoBuffer(LONG* pVal) = 0;
    virtual HRESULT get_txWrongSA(LONG* pVal) = 0;
    virtual HRESULT get_rxWEPUndecryp(LONG* pVal) = 0;
    virtual HRESULT get_rxMsgInMsg(LONG* pVal) = 0;
    virtual HRESULT get_rxMsgInBadMsg(LONG* pVal) = 0;
    virtual HRESULT get_huntCmd(LONG* pVal) = 0;
    virtual HRESULT get_rxOvr(LONG* pVal) = 0;
    virtual HRESULT get_retryMany(LONG* pVal) = 0;
    virtual HRESULT get_retrySingle(LONG* pVal) = 0;
    virtual HRESULT get_retryExhaust(LONG* pVal) = 0;
    virtual HRESULT get_crcError(LONG* pVal) = 0;
    virtual HRESULT get_plcpCrc(LONG* pVal) = 0;
    virtual HRESULT get_frameTooLong(LONG* pVal) = 0;
    virtual HRESULT get_retryLong(LONG* pVal) = 0;
    virtual HRESULT get_retryShort(LONG* pVal) = 0;
    virtual HRESULT get_expReport(LONG* pVal) = 0;
    virtual HRESULT get_rxDuplicates(LONG* pVal) = 0;
    virtual HRESULT get_txRtsSuccess(LONG* pVal) = 0;
    virtual HRESULT get_txRtsFailure(LONG* pVal) = 0;
    virtual HRESULT get_txAckFailure(LONG* pVal) = 0;
    // Refreshes first; VT_ARRAY | VT_I4 of all 44 counters in record order.
    virtual HRESULT get_RawTallies(VARIANT* pVal) = 0;
    virtual HRESULT Refresh(LONG* bResults) = 0;
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
};
