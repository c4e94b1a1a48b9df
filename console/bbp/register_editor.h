// The window both register editors share: register fields with their focus, key and leave rules,
// the baseband control signals, the auto refresh, and save and restore of the register listings.
// alderfrm and birchfrm give it their model's tables.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <span>
#include <string_view>
#include <vector>

#include "console.h"
#include "register_sheet.h"
#include "register_tables.h"

namespace kestview {

struct RegisterEditorModel {
    QString caption;
    QString folderName;     // "CFGALDER"; the save dialog's preset is its lower case
    QString registerFrame;  // caption of the control register frame
    QString filter;         // "description|patterns"
    std::span<const std::string_view> descriptions;
    std::span<const bbp::SignalBox> signalBoxes;
    int refreshMs;
    int shadowCount;       // 0 on Alder
    bool writesPda;
    bool refreshesCr31;
};

class RegisterEditor : public QWidget {
    Q_OBJECT

public:
    RegisterEditor(Console& console, RegisterEditorModel model, QWidget* parent = nullptr);

    void RefreshRegisters();
    // The listings of the fields as they stand; false (and the reason in the status bar) when a
    // file could not be written whole.
    bool WriteIniListing(const QString& fileName);
    bool WriteCListing(const QString& fileName);
    bool WritePdaListing(const QString& fileName);
    void ReadIniListing(const QString& fileName);
    void ReadCListing(const QString& fileName);
    void ReadPdaListing(const QString& fileName);

    void save();     // "Save Settings"
    void restore();  // "Restore Settings"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Field {
        QLineEdit* edit;
        QLabel* label;
    };
    QGroupBox* buildFields(const QString& caption, std::vector<Field>& fields, const QString& textName,
                           const QString& labelName, int count, int columns);
    void setFieldState(QLineEdit* edit, bool readWrite);
    void showValue(QLineEdit* edit, const BBPReg& reg);
    void select(const QString& key);
    void write(QLineEdit* edit);
    bool stepValue(QLineEdit* edit, int step);
    void applyMultiplexer(QLineEdit* edit);
    void signalClicked(int index);
    void tick();
    // The entry line of an event handler: "EVENT: control_event(arguments)".
    void traceEvent(const QString& control, const char* event, const QString& arguments = {});
    // A field's handler: its array name, the event, and its index before the other arguments.
    void traceField(const QLineEdit* edit, const char* event, const QString& more = {});
    bbp::RegisterSheet sheet() const;
    void applyWrites(const std::vector<bbp::RegisterWrite>& writes);
    bool writeWhole(const QString& fileName, const std::string& text);
    QString fileFilter() const;
    QString inConfigFolder(const QString& chosen) const;
    QString lookupKey(QLineEdit* edit) const;

    Console& console_;
    RegisterEditorModel model_;
    std::vector<Field> control_, shadow_;
    std::vector<QCheckBox*> signals_;
    QCheckBox* refreshChk_;
    QTimer* timer1_;
    qint32 SignalMask = 0;
};

}  // namespace kestview
