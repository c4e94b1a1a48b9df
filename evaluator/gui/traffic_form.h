// What the transmit and receive windows share: the header area with the run's settings, the
// state line, the results table, the Start / Stop / Done buttons and the one-second update.
#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "ini_file.h"
#include "statistics.h"
#include "test_settings.h"
#include "traffic_run.h"

class QLabel;
class QPushButton;

class TTrafficForm : public QDialog {
    Q_OBJECT
public:
    // Reads the window's settings section, runs the window modally, writes the section back.
    int runModal();

protected:
    TTrafficForm(bool transmit, const airmeter::TestSettings& settings, IniFile& ini, QWidget* parent);

    // A sink that brings the run's events to this window's thread.
    airmeter::EventSink eventSink();
    virtual airmeter::TrafficRun& run() = 0;
    virtual void startRun() = 0;
    virtual void readConfig() = 0;
    virtual void writeConfig() = 0;
    // The remote-address field at every update (transmit: the stored target).
    virtual void refreshRemote() {}

    void setRemote(const QString& text);
    void clearResults();
    void stopRun();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window (its close box, Escape or Done) ends its run; minimising does not.
    void done(int result) override;

    const airmeter::TestSettings settings_;
    IniFile& ini_;

private:
    void showSettingsMessages();
    void handle(const airmeter::RunEvent& event);
    void showState(airmeter::RunState state);
    void update();

    const bool transmit_;
    QWidget* header_ = nullptr;
    QLabel* remote_ = nullptr;
    QLabel* stateValue_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* done_ = nullptr;
    struct ResultRow {
        std::string airmeter::Figures::*figure;
        QLabel* current;
        QLabel* cumulative;
    };
    std::vector<ResultRow> results_;
    QTimer timer_;
};
