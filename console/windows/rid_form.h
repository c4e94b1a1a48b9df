// RidForm "RID LIST": lists the open adapter's configuration records, shows one in a chosen
// display form and writes a new value into it.
#pragma once

#include <QWidget>

#include "record_objects.h"
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
    // The record this window shows and writes.
    const Rid& curRid() const { return curRid_; }

private:
    void load();
    void setRangeControls(long length);
    void dispOptClick(int index);
    void writeRid();

    Console& console_;
    // Each browser keeps its own collection and record, so a write goes into the record this
    // window shows, whatever another browser shows.
    Rids rids_;
    Rid curRid_;
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
