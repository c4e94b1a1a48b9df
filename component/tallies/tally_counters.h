// The 36 named counters of TALLY_INFO in record order, for code that lists every one of them:
// X(name) once per counter.
#pragma once

#define DIREZO_TALLY_COUNTERS(X)                                                                       \
    X(txUnicast) X(txMulticast) X(txFrags) X(txUniOctets) X(txMultiOctets) X(txDeferredTx)             \
    X(txSingleRetries) X(txMultipleRetries) X(txRetryLimitExc) X(txDiscards) X(rxUnicast)              \
    X(rxMulticast) X(rxFrags) X(rxUniOctets) X(rxMultiOctets) X(rxFCSErrors) X(rxNoBuffer)             \
    X(txWrongSA) X(rxWEPUndecryp) X(rxMsgInMsg) X(rxMsgInBadMsg) X(huntCmd) X(rxOvr) X(retryMany)      \
    X(retrySingle) X(retryExhaust) X(crcError) X(plcpCrc) X(frameTooLong) X(retryLong) X(retryShort)   \
    X(expReport) X(rxDuplicates) X(txRtsSuccess) X(txRtsFailure) X(txAckFailure)
