#include "test_form.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>

#include "message_sink.h"

using namespace airmeter;

TTestForm::TTestForm(const QString& outputPath, QWidget* parent) : QDialog(parent), outputPath_(outputPath) {
    setWindowTitle("TestForm");
    setWindowState(Qt::WindowMaximized);
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget;
    list_->setObjectName("ListBox");
    layout->addWidget(list_);
    auto* buttons = new QHBoxLayout;
    const struct { const char* caption; const char* name; void (TTestForm::*action)(); } defs[] = {
        {"Test", "TestButton", &TTestForm::test},
        {"Stop", "StopButton", nullptr},
        {"Save", "SaveButton", &TTestForm::save},
    };
    for (const auto& d : defs) {
        auto* b = new QPushButton(d.caption);
        b->setObjectName(d.name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        if (d.action) {
            connect(b, &QPushButton::clicked, this, d.action);
        } else {
            connect(b, &QPushButton::clicked, this, [this] { stop_ = true; });
        }
    }
    layout->addLayout(buttons);
}

namespace {

// The window's events go on while a DMI command waits for its confirmation.
void keepWindowAlive() { QCoreApplication::processEvents(QEventLoop::AllEvents, TDmiAccess::kWaitSliceMs); }

}  // namespace

TTestForm::~TTestForm() {
    // No events for a window being destroyed.
    if (access_) access_->setWhileWaiting({});
}

QString TTestForm::defaultOutputPath() {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.dir().filePath(program.completeBaseName() + ".OUT");
}

void TTestForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (access_ || registering_) return;
    registering_ = true;
    try {
        access_ = std::make_unique<TDmiAccess>(std::chrono::seconds(5), keepWindowAlive);
    } catch (const DmiError& e) {
        messages().showMessage(this, e.what());
    }
    registering_ = false;
    if (!isVisible()) releaseAccessWhenIdle();  // closed while registering
}

void TTestForm::releaseAccessWhenIdle() {
    if (walking_ || registering_ || (access_ && access_->busy())) return;
    access_.reset();
}

void TTestForm::done(int result) {
    stop_ = true;  // a walk in progress ends at its next entry and then releases the access
    releaseAccessWhenIdle();
    QDialog::done(result);
}

void TTestForm::test() {
    if (!access_ || walking_ || access_->busy()) return;
    stop_ = false;
    walking_ = true;
    const int before = list_->count();
    try {
        walkDmi(*access_, [this](const std::string& line) { list_->addItem(QString::fromStdString(line)); },
                [this] { return stop_; }, [] { QCoreApplication::processEvents(); });
        // Without a provider, or on a host without DMI data, the walk adds nothing.
        if (list_->count() == before) messages().showMessage(this, "No DMI components were found.");
    } catch (const DmiError& e) {
        messages().showMessage(this, e.what());
    }
    walking_ = false;
    if (!isVisible()) releaseAccessWhenIdle();
}

void TTestForm::save() {
    if (list_->count() == 0) {
        messages().showMessage(this, "There is nothing to save: no DMI components are listed.");
        return;
    }
    // Written beside the old file and put in its place only once complete, so a failed write
    // leaves the earlier listing whole.
    QSaveFile file(outputPath_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        messages().showMessage(this, QString("Cannot create file \"%1\". %2").arg(outputPath_, file.errorString()));
        return;
    }
    QTextStream out(&file);
    for (int i = 0; i < list_->count(); ++i) out << list_->item(i)->text() << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        messages().showMessage(this, QString("Cannot write file \"%1\". %2").arg(outputPath_, file.errorString()));
    }
}
