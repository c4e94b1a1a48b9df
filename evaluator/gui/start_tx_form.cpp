#include "start_tx_form.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TStartTxForm::TStartTxForm(const QString& target, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Connect Target");
    auto* layout = new QVBoxLayout(this);
    edit_ = new QLineEdit(target);
    edit_->setObjectName("TargetEdit");
    layout->addWidget(edit_);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK");
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("CancelButton");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TStartTxForm::target() const { return edit_->text(); }
