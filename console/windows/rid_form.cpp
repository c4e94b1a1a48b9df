#include "rid_form.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "console.h"
#include "fixed_pitch_font.h"
#include "record_objects.h"
#include "rid_names.h"
#include "rid_write.h"
#include "vireo_object.h"

namespace kestview {

RidForm::RidForm(Console& console, QWidget* parent) : QWidget(parent, Qt::Window), console_(console) {
    setObjectName(QStringLiteral("RidForm"));
    setWindowTitle(QStringLiteral("RID LIST"));
    setAttribute(Qt::WA_DeleteOnClose);

    ridCBox_ = new QComboBox;
    ridCBox_->setObjectName(QStringLiteral("RidCBox"));
    ridCBox_->setMinimumContentsLength(8);
    ridLst_ = new QListWidget;
    ridLst_->setObjectName(QStringLiteral("RidLst"));
    ridLst_->setFont(fixedPitchFont());
    ridLst_->setMinimumSize(560, 320);

    auto* options = new QGroupBox(QStringLiteral("Display Options"));
    auto* optionsLayout = new QVBoxLayout(options);
    dispOpt_ = new QButtonGroup(this);
    for (int i = 0; i < kRidDisplayCount; ++i) {
        auto* b = new QRadioButton(ridDisplayCaption(RidDisplay(i)));
        b->setObjectName(QStringLiteral("DispOpt(%1)").arg(i));
        dispOpt_->addButton(b, i);
        optionsLayout->addWidget(b);
    }
    // The word index of the "Integer" form: a text field with its up-down control.
    rngUpDown_ = new QSpinBox;
    rngUpDown_->setObjectName(QStringLiteral("RngUpDown"));
    rngUpDown_->setRange(1, 1);
    ridRangeTxt_ = rngUpDown_->findChild<QLineEdit*>();
    ridRangeTxt_->setObjectName(QStringLiteral("ridRangeTxt"));
    optionsLayout->addWidget(rngUpDown_);

    ridWriteTxt_ = new QLineEdit;
    ridWriteTxt_->setObjectName(QStringLiteral("ridWriteTxt"));
    ridWriteTxt_->setPlaceholderText(QStringLiteral("Use Quted Strings  or enter values as hex words"));
    ridWriteTxt_->setToolTip(ridWriteTxt_->placeholderText());
    auto* writeCmd = new QPushButton(QStringLiteral("Write Rid"));
    writeCmd->setObjectName(QStringLiteral("writeCmd"));
    auto* closeCmd = new QPushButton(QStringLiteral("CLOSE"));
    closeCmd->setObjectName(QStringLiteral("CloseCmd"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("RidId")));
    top->addWidget(ridCBox_);
    top->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(options);
    right->addStretch();
    right->addWidget(closeCmd);
    auto* write = new QHBoxLayout;
    write->addWidget(ridWriteTxt_, 1);
    write->addWidget(writeCmd);
    auto* grid = new QGridLayout(this);
    grid->addLayout(top, 0, 0);
    grid->addWidget(ridLst_, 1, 0);
    grid->addLayout(write, 2, 0);
    grid->addLayout(right, 0, 1, 3, 1);

    connect(ridCBox_, &QComboBox::activated, this, [this] {
        console_.logEvent(1, QStringLiteral("EVENT: RidCBox_Click()"));
        showRid();
    });
    connect(dispOpt_, &QButtonGroup::idClicked, this, &RidForm::dispOptClick);
    connect(rngUpDown_, &QSpinBox::valueChanged, this, [this](int value) {
        console_.logEvent(1, QStringLiteral("EVENT: ridRangeTxt_Change()"));
        wordIndex_ = value;
        display_ = RidDisplay::Integer;
        showRid();
    });
    connect(writeCmd, &QPushButton::clicked, this, &RidForm::writeRid);
    connect(closeCmd, &QPushButton::clicked, this, [this] {
        console_.logEvent(1, QStringLiteral("EVENT: CloseCmd_Click()"));
        close();
    });
    load();
}

void RidForm::load() {
    console_.logEvent(1, QStringLiteral("EVENT: Form_Load()"));
    wordIndex_ = 1;
    dispOpt_->button(0)->setChecked(true);
    setRangeControls(0);
    try {
        rids_ = console_.VireoObj.rids();
        for (Rid& rid : rids_.all()) {
            curRid_ = rid;
            ridCBox_->addItem(rid.id().toUpper());
            if (const auto name = nameRid(rid.no())) rid.setName(*name);
        }
    } catch (const AutomationError& e) {
        console_.dialogs().message(this, "Error Loading form - " + e.description());
    }
    showRid();
}

void RidForm::dispOptClick(int index) {
    console_.logEvent(1, QStringLiteral("EVENT: DispOpt_Click(%1)").arg(index));
    display_ = RidDisplay(index);
    showRid();
}

void RidForm::setRangeControls(long length) {
    const bool integerMode = display_ == RidDisplay::Integer;
    rngUpDown_->setVisible(integerMode);
    if (!integerMode) return;
    const QSignalBlocker block(rngUpDown_);
    rngUpDown_->setRange(1, int(std::max(1L, length - 1)));
    rngUpDown_->setValue(wordIndex_);
    wordIndex_ = rngUpDown_->value();
}

void RidForm::showRid() {
    const QString id = ridCBox_->currentText().toLower().trimmed();
    if (id.isEmpty()) {
        ridLst_->addItem(QString());
        return;
    }
    ridLst_->clear();
    try {
        curRid_ = {};
        curRid_ = rids_.item(id);
        const Rid& rid = curRid_;
        long length = rid.length();
        setRangeControls(length);
        RidReading reading;
        const QByteArray bytes = rid.ridAsByteArray();
        reading.bytes.assign(bytes.begin(), bytes.end());
        length = rid.length();  // as the read found it
        ridLst_->addItems(ridHeaderLines(length, rid.type(), rid.name()));
        const std::size_t expected = length > 1 ? std::size_t(2 * (length - 1)) : 0;
        if (reading.bytes.size() != expected) {
            ridLst_->addItem(QStringLiteral("Rid could not be read: %1 of %2 bytes returned")
                                 .arg(reading.bytes.size())
                                 .arg(expected));
            return;
        }
        switch (ridExtraReading(display_)) {
        case RidExtraReading::Text: reading.text = rid.ridStringValue(); break;
        case RidExtraReading::Integer:
            if (length <= 1) {
                ridLst_->addItem(QStringLiteral("Rid has no data words"));
                return;
            }
            reading.integer = rid.getAsInteger(wordIndex_);
            break;
        case RidExtraReading::Words:
            for (qint32 w : rid.ridAsIntArray()) reading.words.push_back(std::int16_t(w));
            break;
        case RidExtraReading::None: break;
        }
        ridLst_->addItems(ridValueLines(display_, reading));
    } catch (const AutomationError& e) {
        ridLst_->addItem("Rid could not be read: " + e.description().trimmed());
    }
}

void RidForm::writeRid() {
    console_.logEvent(1, QStringLiteral("EVENT: writeCmd_Click()"));
    const QString input = ridWriteTxt_->text();
    if (input.trimmed().isEmpty() || ridCBox_->currentText().isEmpty()) return;
    bool written = false;
    try {
        const Rid& rid = curRid_;
        if (const auto value = ridWriteValue(input, rid ? rid.length() : 0); value && rid) {
            written = value->text ? rid.setRidStringValue(*value->text)
                                  : rid.setRidAsByteArray(QByteArray(reinterpret_cast<const char*>(value->bytes.data()),
                                                                     qsizetype(value->bytes.size())));
        }
    } catch (const AutomationError&) {
        written = false;
    }
    if (!written) {
        console_.dialogs().message(this, QStringLiteral("Write Error"));
        return;
    }
    showRid();
}

}  // namespace kestview
