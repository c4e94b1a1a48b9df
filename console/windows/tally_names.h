// The tallies window's counters: each box is named as the tallies property it shows, grouped in
// three frames, in refresh order.
#pragma once

#include <array>
#include <span>

namespace kestview {

struct TallyCounter {
    const char* box;       // the box's name and its frame's caption
    const char* property;  // the tallies object's property
};

struct TallyGroup {
    const char* caption;
    std::span<const TallyCounter> counters;
};

inline constexpr TallyCounter kTxTallies[] = {
    {"txUnicast", "txUnicast"},
    {"txMulticast", "txMulticast"},
    {"txFrags", "txFrags"},
    {"txUniOctets", "txUniOctets"},
    {"txMultiOctets", "txMultiOctets"},
    {"txDeferredTx", "txDeferredTx"},
    {"txSingleRetries", "txSingleRetries"},
    {"txMultipleRetries", "txMultipleRetries"},
    {"txRetryLimitExc", "txRetryLimitExc"},
    {"txDiscards", "txDiscards"},
    {"txRtsSuccess", "txRtsSuccess"},
    {"txRtsFailure", "txRtsFailure"},
    {"txAckFailure", "txAckFailure"},
    {"txWrongSA", "txWrongSA"},
};

inline constexpr TallyCounter kRxTallies[] = {
    {"rxUnicast", "rxUnicast"},
    {"rxMulticast", "rxMulticast"},
    {"rxFrags", "rxFrags"},
    {"rxUniOctets", "rxUniOctets"},
    {"rxMultiOctets", "rxMultiOctets"},
    {"rxFCSErrors", "rxFCSErrors"},
    {"rxNoBuffer", "rxNoBuffer"},
    {"rxWepUndecryp", "rxWEPUndecryp"},
    {"rxMsgInMsg", "rxMsgInMsg"},
    {"rxMsgInBadMsg", "rxMsgInBadMsg"},
    {"rxOvr", "rxOvr"},
    {"rxDuplicates", "rxDuplicates"},
};

inline constexpr TallyCounter kAdditionalTallies[] = {
    {"huntCmd", "huntCmd"},
    {"retryMany", "retryMany"},
    {"retrySingle", "retrySingle"},
    {"retryExhaust", "retryExhaust"},
    {"crcError", "crcError"},
    {"plcpCrc", "plcpCrc"},
    {"frameTooLong", "frameTooLong"},
    {"retryLong", "retryLong"},
    {"retryShort", "retryShort"},
    {"expReport", "expReport"},
};

inline constexpr std::array<TallyGroup, 3> kTallyGroups{{
    {"TX Tallies", kTxTallies},
    {"Rx Tallies", kRxTallies},
    {"Additional Tallies", kAdditionalTallies},
}};

}  // namespace kestview
