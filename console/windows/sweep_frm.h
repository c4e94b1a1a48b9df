// SweepFrm "Sweep Results Table": the stations of the adapter's last channel sweep (record FD88).
#pragma once

#include <QWidget>
#include <memory>

#include "sweep_table.h"

class QListWidget;

namespace kestview {

class Console;

class SweepFrm : public QWidget {
    Q_OBJECT

public:
    explicit SweepFrm(Console& console, QWidget* parent = nullptr);

    void updateResults();

private:
    Console& console_;
    std::unique_ptr<clsSRT> srt_;
    QListWidget* sweepLst_;
};

}  // namespace kestview
