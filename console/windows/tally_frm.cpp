#include "tally_frm.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "console.h"
#include "tally_names.h"
#include "vireo_object.h"

namespace kestview {

TallyFrm::TallyFrm(Console& console, QWidget* parent) : QWidget(parent, Qt::Window), console_(console) {
    setObjectName(QStringLiteral("TallyFrm"));
    setWindowTitle(QStringLiteral("Tallies"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* groups = new QHBoxLayout;
    for (const TallyGroup& group : kTallyGroups) {
        auto* frame = new QGroupBox(QString::fromLatin1(group.caption));
        auto* grid = new QGridLayout(frame);
        int n = 0;
        for (const TallyCounter& c : group.counters) {
            auto* small = new QGroupBox(QString::fromLatin1(c.box));
            auto* box = new QLineEdit;
            box->setObjectName(QString::fromLatin1(c.box));
            box->setReadOnly(true);
            box->setAlignment(Qt::AlignRight);
            box->setMinimumWidth(110);
            (new QVBoxLayout(small))->addWidget(box);
            grid->addWidget(small, n / 2, n % 2);
            boxes_.emplace_back(QString::fromLatin1(c.property), box);
            ++n;
        }
        groups->addWidget(frame, 0, Qt::AlignTop);
    }
    auto* resetCmd = new QPushButton(QStringLiteral("Card Reset"));
    resetCmd->setObjectName(QStringLiteral("ResetCmd"));
    auto* exitCmd = new QPushButton(QStringLiteral("Exit"));
    exitCmd->setObjectName(QStringLiteral("ExitCmd"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(resetCmd);
    buttons->addWidget(exitCmd);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);

    connect(resetCmd, &QPushButton::clicked, this, &TallyFrm::cardReset);
    connect(exitCmd, &QPushButton::clicked, this, [this] {
        console_.logEvent(1, QStringLiteral("EVENT: ExitCmd_Click()"));
        close();
    });

    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(500);
    console_.logEvent(1, QStringLiteral("EVENT: Form_Load()"));
    connect(&timer1_, &QTimer::timeout, this, &TallyFrm::refreshTallies);
    try {
        tallies_ = console_.VireoObj.tallies();
    } catch (const AutomationError& e) {
        console_.logEvent(2, "TallyFrm Form_Load: " + e.text());
    }
    timer1_.start();
}

void TallyFrm::refreshTallies() {
    try {
        tallies_.refresh();
        // Counters wrap as the adapter's do: shown without sign.
        for (const auto& [property, box] : boxes_) box->setText(QString::number(quint32(tallies_.counter(property))));
    } catch (const AutomationError&) {
        // The boxes keep what they show; the next tick tries again.
    }
}

void TallyFrm::cardReset() {
    console_.logEvent(1, QStringLiteral("EVENT: ResetCmd_Click()"));
    QString failure;
    emit console_.cardResetRequested();  // the test stops and the main window's buttons rest first
    try {
        if (!console_.VireoObj.cardReset()) failure = QStringLiteral("The adapter did not carry out the card reset.");
    } catch (const AutomationError& e) {
        failure = e.description();
    }
    if (!failure.isEmpty()) console_.dialogs().message(this, failure, QStringLiteral("CARD RESET ERROR"), Dialogs::Icon::Exclamation);
}

void TallyFrm::closeEvent(QCloseEvent* event) {
    timer1_.stop();
    event->accept();
}

}  // namespace kestview
