#include "xmit_form.h"

#include "message_sink.h"
#include "start_tx_form.h"

using namespace airmeter;

TXmitForm::TXmitForm(const TestSettings& settings, IniFile& ini, QWidget* parent)
    : TTrafficForm(true, settings, ini, parent), run_(eventSink()) {}

TXmitForm::~TXmitForm() {
    hide();  // stops a run while this window is still whole
    run_.stop();
}

void TXmitForm::readConfig() {
    options_.targetHost = ini_.readString("TxConfig", "TxRemoteHost").toStdString();
    options_.pktDelay = ini_.readInteger("TxConfig", "PktDelay", 0);
    options_.pktBurst = ini_.readInteger("TxConfig", "PktBurst", 0);
    options_.pktFill = ini_.readInteger("TxConfig", "PktFill", -1);
}

void TXmitForm::writeConfig() {
    ini_.writeString("TxConfig", "TxRemoteHost", QString::fromStdString(options_.targetHost));
    ini_.writeInteger("TxConfig", "PktDelay", options_.pktDelay);
    ini_.writeInteger("TxConfig", "PktBurst", options_.pktBurst);
    ini_.writeInteger("TxConfig", "PktFill", options_.pktFill);
}

void TXmitForm::startRun() {
    // Settings no run can use are refused before the target is asked for.
    if (const auto error = TransmitRun::settingsError(settings_)) {
        messages().showMessage(this, QString::fromStdString(*error));
        return;
    }
    if (settings_.mode != TestMode::Broadcast) {
        TStartTxForm target(QString::fromStdString(options_.targetHost), this);
        if (target.exec() != QDialog::Accepted) return;
        options_.targetHost = target.target().toStdString();
    }
    clearResults();
    run_.start(settings_, options_);
}

void TXmitForm::refreshRemote() { setRemote(" " + QString::fromStdString(options_.targetHost)); }
