// The control panel: click handlers that record requests, the tick-side procedures that serve
// them, the test-mode toggles, the physical-layer buttons, SSID and pattern fields.
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>

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
    requestRefused_ = false;
    txRequest_ = true;
}

void MainFrm::RadioOpt_Click(int index) {
    c_.logEvent(1, QStringLiteral("EVENT: RadioOpt_Click(%1)").arg(index));
    requestRefused_ = false;
    clickedChannel_ = index;
    channelRequest_ = true;
}

void MainFrm::RateOpt_Click(int index) {
    c_.logEvent(1, QStringLiteral("EVENT: RateOpt_Click(%1)").arg(index));
    requestRefused_ = false;
    rateChoice_ = index;
    rateRequest_ = true;
}

void MainFrm::portTypeCbo_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: portTypeCbo_Click()"));
    requestRefused_ = false;
    portChoice_ = portTypeCbo_->currentIndex() + 1;
    modeRequest_ = true;
}

// A command the adapter did not carry out (status 1) is a failure of the procedure that sent it:
// it shows that procedure's text and leaves the panel and the console's state as they were.
namespace {
struct NotDone {
    QString what;
};
void require(bool done, const char* what) {
    if (!done) throw NotDone{QString::fromLatin1(what)};
}
}  // namespace

void MainFrm::serveRequest(const QString& name, const QString& errorText, bool waitAfterError, bool& request,
                           const std::function<void()>& procedure, const std::function<void()>& onRefused) {
    try {
        procedure();
    } catch (const AutomationError& e) {
        c_.logEvent(2, name + QStringLiteral(" error: ") + e.text());
        c_.setError(errorText);
        if (waitAfterError) c_.waitSecs(2);
    } catch (const NotDone& n) {
        c_.logEvent(2, name + QStringLiteral(": the adapter did not carry out ") + n.what);
        requestRefused_ = true;
        request = false;  // the adapter answered; asking again every tick would not change it
        if (onRefused) onRefused();
        c_.setError(errorText);
        if (waitAfterError) c_.waitSecs(2);
    }
}

void MainFrm::contTX() {
    c_.logEvent(3, QStringLiteral("contTX()"));
    serveRequest(QStringLiteral("contTX"), QStringLiteral("Continuous Transmit Button Click Error"), false, txRequest_, [&] {
        if (c_.TxRunning) {
            require(c_.VireoObj.stopTest(), "StopTest");
            setBackground(ContTxBtn_, colours_.buttonFace);
            setChannelTicked(selectedChannel_, false);
            c_.TxRunning = false;
        } else if (c_.between(selectedChannel_, 1, 14)) {
            require(c_.VireoObj.continuousTx(c_.TxPattern), "ContinuousTx");
            setBackground(ContTxBtn_, colours_.txOn);
            c_.TxRunning = true;
            setChannelTicked(selectedChannel_, true);
        } else {
            c_.dialogs().message(this, QStringLiteral("Please set a Channel first !"), QStringLiteral("CHANNEL ERROR"),
                                 Dialogs::Icon::Exclamation);
        }
        txRequest_ = false;
    });
}

void MainFrm::channelChange() {
    c_.logEvent(3, QStringLiteral("channelChange()"));
    serveRequest(
        QStringLiteral("channelChange"), QStringLiteral("Channel Change Error"), true, channelRequest_,
        [&] {
            // The choice is shown once the adapter has taken the channel.
            require(c_.VireoObj.setChannel(clickedChannel_), "SetChannel");
            if (c_.between(selectedChannel_, 1, 14)) setBackground(channelOption(selectedChannel_), colours_.buttonFace);
            selectedChannel_ = clickedChannel_;
            if (QRadioButton* o = channelOption(selectedChannel_)) setBackground(o, colours_.channelChosen);
            channelRequest_ = false;
            if (c_.TxRunning) require(c_.VireoObj.continuousTx(c_.TxPattern), "ContinuousTx");
        },
        [&] {
            // The click ticked the option; the tick goes back to the channel still chosen.
            if (clickedChannel_ != selectedChannel_) setChannelTicked(clickedChannel_, false);
            setChannelTicked(selectedChannel_, true);
        });
}

void MainFrm::rateChange() {
    c_.logEvent(3, QStringLiteral("rateChange()"));
    serveRequest(QStringLiteral("rateChange"), QStringLiteral("RATE CHANGE ERROR !"), true, rateRequest_, [&] {
        if (c_.TxRunning) require(c_.VireoObj.stopTest(), "StopTest");
        c_.suspendPort();
        poll_.rate = c_.RidTxRate.getAsInteger(1);  // only remembered
        static constexpr int kRates[] = {1, 2, 3, 4, 8, 15};
        bool written = true;
        if (std::find(std::begin(kRates), std::end(kRates), rateChoice_) != std::end(kRates))
            written = c_.RidTxRate.setAsInteger(1, rateChoice_);
        c_.resumePort();
        rateRequest_ = false;
        // A refused rate still gets the transmitter back as it was before the change.
        if (c_.TxRunning) {
            c_.suspendPort();
            c_.VireoObj.setChannel(selectedChannel_);
            c_.resumePort();
            require(c_.VireoObj.continuousTx(c_.TxPattern), "ContinuousTx");
        }
        require(written, "the write of record FC84");
    });
}

void MainFrm::modeChange() {
    c_.logEvent(3, QStringLiteral("modeChange()"));
    serveRequest(QStringLiteral("modeChange"), QStringLiteral("MODE CHANGE ERROR"), true, modeRequest_, [&] {
        bool written = true;
        if (portChoice_ > 0) {
            if (c_.TxRunning) require(c_.VireoObj.stopTest(), "StopTest");
            c_.suspendPort();
            written = c_.RidPortType.setAsInteger(1, portChoice_);
            c_.resumePort();
        }
        modeRequest_ = false;
        if (c_.TxRunning) require(c_.VireoObj.continuousTx(c_.TxPattern), "ContinuousTx");
        require(written, "the write of record FC00");
    });
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
    if (t == "3") openWindow(QStringLiteral("alderfrm_Show"), openers_.alderEditor);
    else if (t == "11" || t == "13" || t == "10" || t == "30") openWindow(QStringLiteral("birchfrm_Show"), openers_.birchEditor);
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

void MainFrm::openWindow(const QString& handler, const WindowOpener& opener) {
    c_.logEvent(1, QStringLiteral("EVENT: %1()").arg(handler));
    if (!opener) return;
    QWidget* w = opener(c_);
    if (w && std::find(adapterWindows_.begin(), adapterWindows_.end(), w) == adapterWindows_.end())
        adapterWindows_.emplace_back(w);
}

// ---- Pattern and SSID fields ------------------------------------------------------------------

void MainFrm::PatternTxt_LostFocus() {
    c_.logEvent(1, QStringLiteral("EVENT: PatternTxt_LostFocus()"));
    c_.TxPattern = patternValue(PatternTxt_->text());
}

void MainFrm::SSIDTxt_GotFocus() {
    c_.logEvent(1, QStringLiteral("EVENT: SSIDTxt_GotFocus()"));
    pollingBeforeSsid_ = c_.refreshTimer().isActive();
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
    // Polling goes on only where it was on: with an adapter open and the disable box clear.
    if (pollingBeforeSsid_ && c_.VireoObj && !tmrdisablechk_->isChecked()) c_.refreshTimer().start();
    pollingBeforeSsid_ = false;
}

bool MainFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PatternTxt_) {
        if (event->type() == QEvent::FocusIn) {
            // Its text is selected, so that the digits typed replace it (the field holds four);
            // after the click that gave the focus, which would otherwise place the caret.
            QTimer::singleShot(0, PatternTxt_, [p = PatternTxt_] { p->selectAll(); });
        } else if (event->type() == QEvent::FocusOut) {
            PatternTxt_LostFocus();
        } else if (event->type() == QEvent::KeyPress) {
            const QString t = static_cast<QKeyEvent*>(event)->text();
            const bool hex = t.size() == 1 && QStringLiteral("0123456789abcdefABCDEF").contains(t[0]);
            const int key = static_cast<QKeyEvent*>(event)->key();
            const bool navigation = key == Qt::Key_Tab || key == Qt::Key_Backtab;
            if (!hex && !navigation) return true;  // discarded, editing keys included
        }
    } else if (watched == AdapterLst_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && AdapterLst_->currentItem()) {
            AdapterLst_Click();  // the keyboard opens the selected adapter as a click does
            return true;
        }
    } else if (watched == SSIDTxt_) {
        if (event->type() == QEvent::FocusIn) SSIDTxt_GotFocus();
        else if (event->type() == QEvent::FocusOut) SSIDTxt_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace kestview
