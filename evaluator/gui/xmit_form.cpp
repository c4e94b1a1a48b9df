#include "xmit_form.h"

#include <utility>

#include "message_sink.h"
#include "start_tx_form.h"

using namespace airmeter;

TXmitForm::TXmitForm(const TestSettings& settings, IniFile& ini, QWidget* parent)
    : TTrafficForm(true, settings, ini, parent), run_(eventSink()) {}

TXmitForm::~TXmitForm() {
    run_.stop();  // while this window is still whole
}

void TXmitForm::readConfig() {
    read_ = ini_.read();
    options_.targetHost = read_.value("TxConfig", "TxRemoteHost").value_or("");
    options_.pktDelay = ini_.integer(read_, kPktDelaySetting);
    options_.pktBurst = ini_.integer(read_, kPktBurstSetting);
    options_.pktFill = ini_.integer(read_, kPktFillSetting);
}

void TXmitForm::writeConfig() {
    // The target is the window's; the pacing and fill keys are only ever edited in the file, so
    // they are added when missing and otherwise left as the file has them.
    ini_.update([this](IniDocument& file) {
        bool changed = IniFile::store(file, read_.value("TxConfig", "TxRemoteHost"), "TxConfig", "TxRemoteHost",
                                      options_.targetHost);
        for (const auto& [setting, value] : {std::pair{kPktDelaySetting, options_.pktDelay},
                                             std::pair{kPktBurstSetting, options_.pktBurst},
                                             std::pair{kPktFillSetting, options_.pktFill}}) {
            changed |= file.setDefault(setting.section, setting.key, std::to_string(value));
        }
        return changed;
    });
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
