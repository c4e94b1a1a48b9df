// TStartTxForm: the "Connect Target" dialog asking for the target's dotted address.
#pragma once

#include <QDialog>

class QLineEdit;

class TStartTxForm : public QDialog {
    Q_OBJECT
public:
    explicit TStartTxForm(const QString& target, QWidget* parent = nullptr);
    QString target() const;

private:
    QLineEdit* edit_;
};
