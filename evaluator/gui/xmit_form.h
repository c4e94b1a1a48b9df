// TXmitForm: the transmit window.
#pragma once

#include "traffic_form.h"
#include "transmit_run.h"

class TXmitForm : public TTrafficForm {
    Q_OBJECT
public:
    TXmitForm(const airmeter::TestSettings& settings, IniFile& ini, QWidget* parent = nullptr);
    ~TXmitForm() override;

    // The transmit parameters as read from the settings file when the window opened.
    const airmeter::TxOptions& options() const { return options_; }

protected:
    airmeter::TrafficRun& run() override { return run_; }
    void startRun() override;
    void readConfig() override;
    void writeConfig() override;
    void refreshRemote() override;

private:
    airmeter::TxOptions options_;
    airmeter::IniDocument read_;  // "TxConfig" as it was read when the window opened
    airmeter::TransmitRun run_;
};
