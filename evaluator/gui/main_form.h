// TMainForm: collects the test settings, shows the local identity and opens the transmit or
// receive window modally.
#pragma once

#include <QWidget>
#include <optional>

#include "ini_file.h"
#include "local_identity.h"
#include "test_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "2.03";

    TMainForm(IniFile ini, const airmeter::LocalIdentity& identity, QWidget* parent = nullptr);

    // The settings the controls describe, or nothing (after telling the user) when the port or
    // size text is not an integer.
    std::optional<airmeter::TestSettings> testSettings();
    QWidget* activeTestWindow() const { return active_; }

    void startTx();
    void startRx();
    void openTestWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void applyTestModeRule();
    template <typename Form>
    void runTestWindow();
    bool writeMainConfig();

    void showSettingsMessages();

    IniFile ini_;
    airmeter::IniDocument read_;  // "MainConfig" as it was read at creation
    airmeter::LocalIdentity identity_;
    QString broadcastAddress_;
    QLabel* header_;
    QComboBox* dataRate_;
    QComboBox* channel_;
    QLineEdit* port_;
    QLineEdit* size_;
    QComboBox* unit_;
    QComboBox* mode_;
    int unitChoice_ = 0;  // the unit chosen while both units are offered
    QWidget* active_ = nullptr;
};
