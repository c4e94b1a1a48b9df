// TallyFrm "Tallies": the adapter's 36 frame counters, refreshed twice a second, and a card reset.
#pragma once

#include <QTimer>
#include <QWidget>
#include <vector>

#include "tallies_object.h"

class QLineEdit;

namespace kestview {

class Console;

class TallyFrm : public QWidget {
    Q_OBJECT

public:
    explicit TallyFrm(Console& console, QWidget* parent = nullptr);

    // One tick: Refresh, then every counter in table order; an error ends the tick silently.
    void refreshTallies();
    const QTimer& timer() const { return timer1_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cardReset();

    Console& console_;
    Tallies tallies_;
    QTimer timer1_;
    std::vector<std::pair<QString, QLineEdit*>> boxes_;  // property, box
};

}  // namespace kestview
