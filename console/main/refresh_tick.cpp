// The status refresh: one tick serves the panel's requests and polls the open adapter.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>

#include "main_frm.h"

namespace kestview {

void MainFrm::setBarValue(QProgressBar* bar, int value) {
    if (value < bar->minimum() || value > bar->maximum())
        raiseConsoleError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
    bar->setValue(value);
}

void MainFrm::RefreshTmr_Timer() {
    if (inTick_) return;  // a tick never runs inside another one (waits process events)
    inTick_ = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{inTick_};

    if (shutdown_) {
        c_.refreshTimer().stop();
        c_.logEvent(2, QStringLiteral("Timer Shutdown"));
        close();
        return;
    }
    try {
        if (modeRequest_) modeChange();
        if (rateRequest_) rateChange();
        if (channelRequest_) channelChange();
        if (txRequest_) contTX();

        poll_.port = c_.RidPortType.getAsInteger(1);
        if (poll_.port < 0) c_.setError(QStringLiteral("IPORT < 0"));
        if (poll_.port == 0) c_.setError(QStringLiteral("IPORT = 0"));
        if (poll_.port > 0) {
            if (poll_.port > portTypeCbo_->count())
                raiseConsoleError(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
            portTypeCbo_->setCurrentIndex(poll_.port - 1);  // not an operator click: no request
        }
        portTypeCbo_->update();

        poll_.rate = c_.RidTxRate.getAsInteger(1);
        if (poll_.rate < 0) c_.setError(QStringLiteral("IRATE < 0"));
        if (poll_.rate == 0) c_.setError(QStringLiteral("IRATE = 0"));
        const auto rateOption = RateOpt_.find(poll_.rate);
        if (rateOption == RateOpt_.end())
            raiseConsoleError(kNoSuchControlElement,
                              QStringLiteral("Control array element '%1' doesn't exist").arg(poll_.rate));
        rateOption->second->setChecked(true);  // not an operator click: no request

        SSIDTxt_->setText(c_.RidSsid.ridStringValue().trimmed());
        poll_.previousChannel = polledChannel_;

        poll_.quality = c_.RidCommsQuality.getAsInteger(1);
        if (poll_.quality < 0) c_.setError(QStringLiteral("IQUALITY < 0"));
        poll_.signal = c_.RidCommsQuality.getAsInteger(2);
        if (poll_.signal < 0) c_.setError(QStringLiteral("ISIGNAL < 0"));
        setBarValue(QualityBar_, poll_.quality);
        setBarValue(SignalBar_, poll_.signal);

        polledChannel_ = c_.RidChannel.getAsInteger(1);
        if (polledChannel_ != poll_.previousChannel && c_.between(polledChannel_, 1, 14)) {
            setTextColour(channelOption(polledChannel_), colours_.channelReported);
            if (poll_.previousChannel != 0)
                if (QRadioButton* o = channelOption(poll_.previousChannel)) setTextColour(o, colours_.normalText);
        }
        // A refused request's message stays until the operator asks again.
        if (poll_.port != 0 && !requestRefused_) c_.clrstatusbar();
        c_.logEvent(2, QStringLiteral("-- Refresh Timer Normal Exit --"));
    } catch (const AutomationError& e) {
        c_.logEvent(2, QStringLiteral("** Refresh timer Error Exit **"));
        c_.setError(e.text());
        c_.waitSecs(2);
    }
}

}  // namespace kestview
