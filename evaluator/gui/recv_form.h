// TRecvForm: the receive window.
#pragma once

#include "receive_run.h"
#include "traffic_form.h"

class TRecvForm : public TTrafficForm {
    Q_OBJECT
public:
    TRecvForm(const airmeter::TestSettings& settings, IniFile& ini, QWidget* parent = nullptr);
    ~TRecvForm() override;

protected:
    airmeter::TrafficRun& run() override { return run_; }
    void startRun() override;
    void readConfig() override;
    void writeConfig() override;

private:
    std::string title_;  // RxTitle: kept, not shown
    airmeter::ReceiveRun run_;
};
