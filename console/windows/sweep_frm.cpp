#include "sweep_frm.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "caption_room.h"
#include "console.h"
#include "fixed_pitch_font.h"
#include "record_objects.h"

namespace kestview {

SweepFrm::SweepFrm(Console& console, QWidget* parent) : QWidget(parent, Qt::Window), console_(console) {
    setObjectName(QStringLiteral("SweepFrm"));
    setWindowTitle(QStringLiteral("Sweep Results Table"));
    setAttribute(Qt::WA_DeleteOnClose);

    sweepLst_ = new QListWidget;
    sweepLst_->setObjectName(QStringLiteral("SweepLst"));
    sweepLst_->setFont(fixedPitchFont());
    // Room for the three stations of a typical sweep (ten lines each) without scrolling.
    sweepLst_->setMinimumSize(520, QFontMetrics(sweepLst_->font()).height() * 31 + 2 * sweepLst_->frameWidth());
    auto* updateCmd = new QPushButton(QStringLiteral("Update Sweep Results"));
    updateCmd->setObjectName(QStringLiteral("UpdateCmd"));
    giveCaptionRoom(updateCmd);
    auto* exitCmd = new QPushButton(QStringLiteral("EXIT"));
    exitCmd->setObjectName(QStringLiteral("ExitCmd"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(updateCmd);
    buttons->addStretch();
    buttons->addWidget(exitCmd);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sweepLst_);
    layout->addLayout(buttons);

    connect(updateCmd, &QPushButton::clicked, this, [this] {
        console_.logEvent(1, QStringLiteral("EVENT: UpdateCmd_Click()"));
        updateResults();
    });
    connect(exitCmd, &QPushButton::clicked, this, [this] {
        console_.logEvent(1, QStringLiteral("EVENT: ExitCmd_Click()"));
        srt_.reset();
        close();
    });
    console_.logEvent(1, QStringLiteral("EVENT: Form_Load()"));
    updateResults();
}

void SweepFrm::updateResults() {
    if (!srt_) srt_ = std::make_unique<clsSRT>();
    try {
        const Rid rid = console_.RidsObj.item(QStringLiteral("FD88"));
        std::vector<std::int16_t> words;
        for (qint32 w : rid.ridAsIntArray()) words.push_back(std::int16_t(w));
        srt_->Load(words);
        const QStringList lines = sweepResultLines(*srt_, sweepEntries(rid.length()));
        sweepLst_->clear();
        sweepLst_->addItems(lines);
    } catch (const AutomationError&) {
        sweepLst_->clear();
        sweepLst_->addItem(QStringLiteral("Results not available!"));
    }
}

}  // namespace kestview
