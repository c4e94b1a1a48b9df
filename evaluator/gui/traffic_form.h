// What the transmit and receive windows share: the header area with the run's settings, the
// state line, the results table, the Start / Stop / Done buttons and the one-second update.
#pragma once

#include <QDialog>
#include <QTimer>
#include <map>

#include "ini_file.h"
#include "test_settings.h"
#include "traffic_run.h"

class QLabel;
class QPushButton;
class QGridLayout;

class TTrafficForm : public QDialog {
    Q_OBJECT
public:
    // The rows of the results table, in order.
    enum class Row { Elapsed, Bytes, KBits, PacketRate, Total, Good, Bad, Per };

    // Reads the window's settings section, runs the window modally, writes the section back.
    int runModal();

    QLabel* resultCell(Row row, bool cumulative) const;

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
    void hideEvent(QHideEvent* event) override;

    const airmeter::TestSettings settings_;
    IniFile& ini_;

private:
    void handle(const airmeter::RunEvent& event);
    void showState(airmeter::RunState state);
    void update();
    void addResultRow(QGridLayout* grid, Row row, const char* caption, const char* name);

    const bool transmit_;
    QWidget* header_ = nullptr;
    QLabel* remote_ = nullptr;
    QLabel* stateValue_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* done_ = nullptr;
    std::map<Row, std::pair<QLabel*, QLabel*>> cells_;
    QTimer timer_;
};
