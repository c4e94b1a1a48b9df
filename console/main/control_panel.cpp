// The control panel: click handlers that record requests, the tick-side procedures that serve
// them, the test-mode toggles, the physical-layer buttons, SSID and pattern fields.
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "main_frm.h"

namespace kestview {

QRadioButton* MainFrm::channelOption(int channel) const {
    auto it = RadioOpt_.find(channel);
    return it == RadioOpt_.end() ? nullptr : it->second;
}

void MainFrm::setChannelTicked(int channel, bool ticked) {
    QRadioButton* o = channelOption(channel);
    if (!o) return;
    o->setAutoExclusive(false);  // so that the tick can also be taken away
    o->setChecked(ticked);
    o->setAutoExclusive(true);
}

void MainFrm::ClearTestBtns() {
    c_.logEvent(3, QStringLiteral("ClearTestBtns()"));
    c_.VireoObj.stopTest();
    c_.TxRunning = false;
    for (QPushButton* b : {pbodBtn_, MonitorBtn_, TxSupBtn_, ContRxBtn_, ContTxBtn_}) setBackground(b, colours_.buttonFace);
}

void MainFrm::immediate(const QString& what, const std::function<bool()>& call) {
    try {
        if (!call()) c_.setError(what + QStringLiteral(" : the adapter did not carry out the command"));
    } catch (const AutomationError& e) {
        c_.logEvent(2, what + QStringLiteral(" error: ") + e.text());
        c_.setError(what + QStringLiteral(" : ") + e.text());
    }
}

// ---- Requests served by the next tick ---------------------------------------------------------

void MainFrm::ContTxBtn_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: ContTxBtn_Click()"));
    txRequest_ = true;
}

void MainFrm::RadioOpt_Click(int index) {
    c_.logEvent(1, QStringLiteral("EVENT: RadioOpt_Click(%1)").arg(index));
    clickedChannel_ = index;
    channelRequest_ = true;
}

void MainFrm::RateOpt_Click(int index) {
    c_.logEvent(1, QStringLiteral("EVENT: RateOpt_Click(%1)").arg(index));
    rateChoice_ = index;
    rateRequest_ = true;
}

void MainFrm::portTypeCbo_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: portTypeCbo_Click()"));
    portChoice_ = portTypeCbo_->currentIndex() + 1;
    modeRequest_ = true;
}

void MainFrm::contTX() {
    c_.logEvent(3, QStringLiteral("contTX()"));
    try {
        if (c_.TxRunning) {
            c_.VireoObj.stopTest();
            setBackground(ContTxBtn_, colours_.buttonFace);
            setChannelTicked(selectedChannel_, false);
            c_.TxRunning = false;
        } else if (c_.between(selectedChannel_, 1, 14)) {
            c_.VireoObj.continuousTx(c_.TxPattern);
            setBackground(ContTxBtn_, colours_.txOn);
            c_.TxRunning = true;
            setChannelTicked(selectedChannel_, true);
        } else {
            c_.dialogs().message(this, QStringLiteral("Please set a Channel first !"), QStringLiteral("CHANNEL ERROR"),
                                 Dialogs::Icon::Exclamation);
        }
        txRequest_ = false;
    } catch (const AutomationError& e) {
        c_.logEvent(2, QStringLiteral("contTX error: ") + e.text());
        c_.setError(QStringLiteral("Continuous Transmit Button Click Error"));
    }
}

void MainFrm::channelChange() {
    c_.logEvent(3, QStringLiteral("channelChange()"));
    try {
        if (c_.between(selectedChannel_, 1, 14)) setBackground(channelOption(selectedChannel_), colours_.buttonFace);
        selectedChannel_ = clickedChannel_;
        if (QRadioButton* o = channelOption(selectedChannel_)) setBackground(o, colours_.channelChosen);
        c_.VireoObj.setChannel(selectedChannel_);
        if (c_.TxRunning) c_.VireoObj.continuousTx(c_.TxPattern);
        channelRequest_ = false;
    } catch (const AutomationError& e) {
        c_.logEvent(2, QStringLiteral("channelChange error: ") + e.text());
        c_.setError(QStringLiteral("Channel Change Error"));
        c_.waitSecs(2);
    }
}

void MainFrm::rateChange() {
    c_.logEvent(3, QStringLiteral("rateChange()"));
    try {
        if (c_.TxRunning) c_.VireoObj.stopTest();
        c_.suspendPort();
        poll_.rate = c_.RidTxRate.getAsInteger(1);  // only remembered
        static constexpr int kRates[] = {1, 2, 3, 4, 8, 15};
        if (std::find(std::begin(kRates), std::end(kRates), rateChoice_) != std::end(kRates))
            c_.RidTxRate.setAsInteger(1, rateChoice_);
        c_.resumePort();
        rateRequest_ = false;
        if (c_.TxRunning) {
            c_.suspendPort();
            c_.VireoObj.setChannel(selectedChannel_);
            c_.resumePort();
            c_.VireoObj.continuousTx(c_.TxPattern);
        }
    } catch (const AutomationError& e) {
        c_.logEvent(2, QStringLiteral("rateChange error: ") + e.text());
        c_.setError(QStringLiteral("RATE CHANGE ERROR !"));
        c_.waitSecs(2);
    }
}

void MainFrm::modeChange() {
    c_.logEvent(3, QStringLiteral("modeChange()"));
    try {
        if (portChoice_ > 0) {
            if (c_.TxRunning) c_.VireoObj.stopTest();
            c_.suspendPort();
            c_.RidPortType.setAsInteger(1, portChoice_);
            c_.resumePort();
        }
        modeRequest_ = false;
        if (c_.TxRunning) c_.VireoObj.continuousTx(c_.TxPattern);
    } catch (const AutomationError& e) {
        c_.logEvent(2, QStringLiteral("modeChange error: ") + e.text());
        c_.setError(QStringLiteral("MODE CHANGE ERROR"));
        c_.waitSecs(2);
    }
}

// ---- Immediate buttons ------------------------------------------------------------------------

void MainFrm::toggleMode(QPushButton* button, bool& flag, const QString& name, bool (Vireo::*mode)() const) {
    c_.logEvent(1, QStringLiteral("EVENT: %1_Click()").arg(name));
    immediate(name, [&] {
        ClearTestBtns();
        if (flag) {
            flag = false;
            return true;
        }
        setBackground(button, colours_.modeOn);
        const bool done = (c_.VireoObj.*mode)();
        flag = true;
        return done;
    });
}

void MainFrm::physicalLayer(const QString& name, bool (Vireo::*call)() const, bool resume) {
    c_.logEvent(1, QStringLiteral("EVENT: %1_Click()").arg(name));
    if (c_.TxRunning) txRequest_ = true;
    immediate(name, [&] {
        const bool done = (c_.VireoObj.*call)();
        if (resume) c_.resumePort();
        return done;
    });
}

void MainFrm::SoftBootBtn_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: SoftBootBtn_Click()"));
    immediate(QStringLiteral("SoftBootBtn"), [&] {
        ClearTestBtns();
        return c_.VireoObj.cardReset();
    });
}

void MainFrm::BBPBtn_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: BBPBtn_Click()"));
    const QString& t = c_.BbpTypeHex;
    if (t == "3") openWindow(openers_.alderEditor);
    else if (t == "11" || t == "13" || t == "10" || t == "30") openWindow(openers_.birchEditor);
    else c_.dialogs().message(this, QStringLiteral("Cannot Align  - Unknown Baseband Processor"));
}

void MainFrm::TestCmd_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: TestCmd_Click()"));
    auto openTest = [&] {
        if (!openers_.mfgTest) return;
        openers_.mfgTest(c_);
        hide();
    };
    // Until both instruments are ready or the operator gives up: each refusal says why.
    while (!(c_.AnalyzerOk && c_.PowerMeterOk)) {
        QString text = QStringLiteral("Cannot Run Test - All Instruments did not initialize");
        if (!c_.InstrumentsNotReady.isEmpty()) text += "\n" + c_.InstrumentsNotReady;
        const Dialogs::Answer a = c_.dialogs().messageBox(
            this, {text, c_.PowerMeterOk ? QStringLiteral("Analyzer Failure") : QStringLiteral("Power Meter Failure"),
                   Dialogs::Icon::None, Dialogs::Buttons::RetryCancel});
        if (a != Dialogs::Answer::Retry || !openers_.initTestEquip) return;
        openers_.initTestEquip(c_);
    }
    openTest();
}

void MainFrm::openWindow(const std::function<void(Console&)>& opener) {
    if (opener) opener(c_);
}

// ---- Pattern and SSID fields ------------------------------------------------------------------

void MainFrm::PatternTxt_LostFocus() {
    c_.logEvent(1, QStringLiteral("EVENT: PatternTxt_LostFocus()"));
    c_.TxPattern = patternValue(PatternTxt_->text());
}

void MainFrm::SSIDTxt_GotFocus() {
    c_.logEvent(1, QStringLiteral("EVENT: SSIDTxt_GotFocus()"));
    c_.refreshTimer().stop();
    const int start = SSIDTxt_->cursorPosition();
    SSIDTxt_->setSelection(start, SSIDTxt_->text().size());
}

void MainFrm::SSIDTxt_LostFocus() {
    c_.logEvent(1, QStringLiteral("EVENT: SSIDTxt_LostFocus()"));
    const QString ssid = SSIDTxt_->text().trimmed();
    if (!ssid.isEmpty()) {
        immediate(QStringLiteral("SSIDTxt"), [&] {
            c_.suspendPort();
            c_.RidSsid.setRidStringValue(ssid);
            c_.resumePort();
            return true;
        });
    }
    c_.refreshTimer().start();
}

bool MainFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PatternTxt_) {
        if (event->type() == QEvent::FocusIn) {
            PatternTxt_->setSelection(PatternTxt_->cursorPosition(), 4);
        } else if (event->type() == QEvent::FocusOut) {
            PatternTxt_LostFocus();
        } else if (event->type() == QEvent::KeyPress) {
            const QString t = static_cast<QKeyEvent*>(event)->text();
            const bool hex = t.size() == 1 && QStringLiteral("0123456789abcdefABCDEF").contains(t[0]);
            const int key = static_cast<QKeyEvent*>(event)->key();
            const bool navigation = key == Qt::Key_Tab || key == Qt::Key_Backtab;
            if (!hex && !navigation) return true;  // discarded, editing keys included
        }
    } else if (watched == SSIDTxt_) {
        if (event->type() == QEvent::FocusIn) SSIDTxt_GotFocus();
        else if (event->type() == QEvent::FocusOut) SSIDTxt_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace kestview
