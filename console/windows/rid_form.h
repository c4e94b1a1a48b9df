// RidForm "RID LIST": lists the open adapter's configuration records, shows one in a chosen
// display form and writes a new value into it.
#pragma once

#include <QWidget>

#include "rid_lines.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace kestview {

class Console;

class RidForm : public QWidget {
    Q_OBJECT

public:
    explicit RidForm(Console& console, QWidget* parent = nullptr);

    // Fills RidLst with the selected record in the current display form.
    void showRid();

private:
    void load();
    void setRangeControls(long length);
    void dispOptClick(int index);
    void writeRid();

    Console& console_;
    RidDisplay display_ = RidDisplay::AsciiData;
    int wordIndex_ = 1;
    QComboBox* ridCBox_;
    QListWidget* ridLst_;
    QButtonGroup* dispOpt_;
    QSpinBox* rngUpDown_;
    QLineEdit* ridRangeTxt_;
    QLineEdit* ridWriteTxt_;
};

}  // namespace kestview
