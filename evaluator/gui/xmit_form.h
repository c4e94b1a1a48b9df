// TXmitForm: the transmit window.
#pragma once

#include "traffic_form.h"
#include "transmit_run.h"

class TXmitForm : public TTrafficForm {
    Q_OBJECT
public:
    TXmitForm(const airmeter::TestSettings& settings, IniFile& ini, QWidget* parent = nullptr);
    ~TXmitForm() override;

protected:
    airmeter::TrafficRun& run() override { return run_; }
    void startRun() override;
    void readConfig() override;
    void writeConfig() override;
    void refreshRemote() override;

private:
    airmeter::TxOptions options_;
    airmeter::TransmitRun run_;
};
