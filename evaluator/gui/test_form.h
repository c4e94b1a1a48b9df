// TTestForm: the DMI browser, listing the host's DMI database and saving the listing.
#pragma once

#include <QDialog>
#include <memory>

#include "dmi_access.h"

class QListWidget;

class TTestForm : public QDialog {
    Q_OBJECT
public:
    // outputPath: where "Save" writes; the program's path with the extension ".OUT".
    explicit TTestForm(const QString& outputPath, QWidget* parent = nullptr);
    ~TTestForm() override;

    QListWidget* list() const { return list_; }
    static QString defaultOutputPath();

protected:
    void showEvent(QShowEvent* event) override;
    // Closing the window unregisters from DMI; minimising it does not.
    void done(int result) override;

private:
    void test();
    void save();
    // Destroys the access object (unregistering) unless a command or the walk still uses it.
    void releaseAccessWhenIdle();

    QString outputPath_;
    QListWidget* list_;
    std::unique_ptr<airmeter::TDmiAccess> access_;
    bool stop_ = false;
    bool walking_ = false;
    bool registering_ = false;
};
