#include "cmds_frm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "command_fields.h"
#include "console.h"
#include "vireo_object.h"

namespace kestview {

namespace {

// A hexadecimal input field in its own frame, its default text selected so typing replaces it.
QLineEdit* inputField(const QString& name, const QString& frameCaption, QHBoxLayout* row) {
    auto* frame = new QGroupBox(frameCaption);
    auto* field = new QLineEdit(QStringLiteral("0000"));
    field->setObjectName(name);
    field->setMaxLength(8);
    (new QVBoxLayout(frame))->addWidget(field);
    row->addWidget(frame);
    field->selectAll();
    return field;
}

}  // namespace

cmdsFrm::cmdsFrm(Console& console, QWidget* parent) : QWidget(parent, Qt::Window), console_(console) {
    setObjectName(QStringLiteral("cmdsFrm"));
    setWindowTitle(QStringLiteral("Issue Commands via CMD Register"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* inputs = new QHBoxLayout;
    cmdTxt_ = inputField(QStringLiteral("cmdTxt"), QStringLiteral("CMD"), inputs);
    for (int i = 0; i < 3; ++i)
        paramtxt_[std::size_t(i)] = inputField(QStringLiteral("paramtxt(%1)").arg(i), QStringLiteral("Param%1").arg(i), inputs);

    auto* response = new QGroupBox(QStringLiteral("Response"));
    auto* responseLayout = new QGridLayout(response);
    for (int i = 0; i < 3; ++i) {
        auto* box = new QLineEdit;
        box->setObjectName(QStringLiteral("rsptxt(%1)").arg(i));
        box->setReadOnly(true);
        responseLayout->addWidget(new QLabel(QStringLiteral("Resp%1").arg(i)), 0, i);
        responseLayout->addWidget(box, 1, i);
        rsptxt_[std::size_t(i)] = box;
    }

    auto* executeCmd = new QPushButton(QStringLiteral("Execute"));
    executeCmd->setObjectName(QStringLiteral("executeCmd"));
    executeCmd->setDefault(true);
    auto* exitCmd = new QPushButton(QStringLiteral("Exit"));
    exitCmd->setObjectName(QStringLiteral("ExitCmd"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(executeCmd);
    buttons->addWidget(exitCmd);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(inputs);
    layout->addWidget(response);
    layout->addLayout(buttons);

    connect(executeCmd, &QPushButton::clicked, this, &cmdsFrm::execute);
    connect(cmdTxt_, &QLineEdit::returnPressed, this, &cmdsFrm::execute);
    connect(exitCmd, &QPushButton::clicked, this, [this] {
        console_.logEvent(1, QStringLiteral("EVENT: ExitCmd_Click()"));
        close();
    });
    console_.logEvent(1, QStringLiteral("EVENT: Form_Load()"));
    cmdTxt_->setFocus();
}

void cmdsFrm::execute() {
    console_.logEvent(1, QStringLiteral("EVENT: executeCmd_Click()"));
    const auto cmd = commandWord(cmdTxt_->text());
    std::array<std::optional<std::uint16_t>, 3> params;
    for (std::size_t i = 0; i < 3; ++i) params[i] = commandWord(paramtxt_[i]->text());
    try {
        if (cmd && params[0] && params[1] && params[2]) {
            // A command the adapter refused (not done) is an error like any other.
            const auto resp = console_.VireoObj.sendCmd(*cmd, *params[0], *params[1], *params[2]);
            if (resp && resp->size() >= 3) {
                for (std::size_t i = 0; i < 3; ++i) rsptxt_[i]->setText(responseText(std::uint8_t((*resp)[qsizetype(i)])));
                return;
            }
        }
    } catch (const AutomationError&) {
    }
    console_.dialogs().message(this, QStringLiteral("Issue Command Error"));
}

}  // namespace kestview
