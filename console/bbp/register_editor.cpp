#include "register_editor.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSaveFile>
#include <QStyle>
#include <QVBoxLayout>
#include <chrono>
#include <fstream>
#include <sstream>

#include "caption_room.h"
#include "c_listing.h"
#include "ini_listing.h"
#include "listing_files.h"
#include "listing_text.h"
#include "pda_listing.h"

namespace kestview {

namespace {
// Colours in red-green-blue order (the editors' values are given in blue-green-red order).
const QColor kReadWrite(0x00, 0xFF, 0xFF);    // 0xFFFF00
const QColor kMuxNoiseFloor(0x00, 0xC0, 0xC0);  // 0xC0C000
const QColor kMuxReceive(0xC0, 0xFF, 0xFF);   // 0xFFFFC0
constexpr int kMuxRegister = 49, kMuxFirst = 51;

void setBackground(QLineEdit* edit, const QColor& colour) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, colour);
    edit->setPalette(p);
}

std::optional<std::uint32_t> fieldValue(const QLineEdit* edit) {
    return bbp::hexValue(edit->text().trimmed().toStdString());
}

std::optional<std::string> readWhole(const QString& fileName) {
    std::ifstream in(fileName.toStdString(), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

RegisterEditor::RegisterEditor(Console& console, RegisterEditorModel model, QWidget* parent)
    : QWidget(parent, Qt::Window), console_(console), model_(std::move(model)) {
    setWindowTitle(model_.caption);
    auto* top = new QVBoxLayout(this);
    const int count = int(model_.descriptions.size());
    top->addWidget(buildFields(model_.registerFrame, control_, "bbpTxt", "CRLbl", count, count > 32 ? 8 : 4));
    for (int i = 0; i < count; ++i) control_[i].edit->setToolTip(QString::fromUtf8(model_.descriptions[i].data(), int(model_.descriptions[i].size())));
    if (model_.shadowCount) {
        top->addWidget(buildFields("AGC Register Settings", shadow_, "bbpsTxt", "SRLbl", model_.shadowCount, 8));
        for (int i = 0; i < model_.shadowCount; ++i) shadow_[i].edit->setToolTip(QStringLiteral("AGC Register %1").arg(i));
    }

    auto* bottom = new QHBoxLayout;
    auto* signalFrame = new QGroupBox("Baseband Control", this);
    auto* signalGrid = new QGridLayout(signalFrame);
    for (std::size_t i = 0; i < model_.signalBoxes.size(); ++i) {
        const auto& box = model_.signalBoxes[i];
        auto* chk = new QCheckBox(QString::fromUtf8(box.caption.data(), int(box.caption.size())), signalFrame);
        chk->setObjectName(QStringLiteral("SigChk(%1)").arg(i + 1));
        chk->setProperty("Tag", QStringLiteral("&h%1").arg(box.mask, 0, 16));
        connect(chk, &QCheckBox::clicked, this, [this, index = int(i) + 1] { signalClicked(index); });
        signalGrid->addWidget(chk, int(i) / 5, int(i) % 5);
        signals_.push_back(chk);
    }
    bottom->addWidget(signalFrame);
    auto* buttons = new QVBoxLayout;
    refreshChk_ = new QCheckBox("Auto Refresh", this);
    refreshChk_->setObjectName("RefreshChk");
    connect(refreshChk_, &QCheckBox::clicked, this, [this](bool on) {
        traceEvent("RefreshChk", "Click");
        on ? timer1_->start() : timer1_->stop();
    });
    auto* savebtn = new QPushButton("Save Settings", this);
    savebtn->setObjectName("savebtn");
    connect(savebtn, &QPushButton::clicked, this, &RegisterEditor::save);
    auto* restoreBtn = new QPushButton("Restore Settings", this);
    restoreBtn->setObjectName("restoreBtn");
    connect(restoreBtn, &QPushButton::clicked, this, &RegisterEditor::restore);
    auto* closebtn = new QToolButton(this);
    closebtn->setObjectName("closebtn");
    closebtn->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    closebtn->setToolTip("Close");
    connect(closebtn, &QToolButton::clicked, this, [this] {
        traceEvent("closebtn", "Click");
        close();
    });
    for (QPushButton* b : {savebtn, restoreBtn}) giveCaptionRoom(b);
    for (QWidget* w : {static_cast<QWidget*>(refreshChk_), static_cast<QWidget*>(savebtn),
                       static_cast<QWidget*>(restoreBtn)})
        buttons->addWidget(w);
    buttons->addWidget(closebtn, 0, Qt::AlignRight);
    bottom->addLayout(buttons);
    top->addLayout(bottom);

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(model_.refreshMs);
    connect(timer1_, &QTimer::timeout, this, &RegisterEditor::tick);
    setAttribute(Qt::WA_DeleteOnClose);

    traceEvent("Form", "Load");
    const QString program = QCoreApplication::applicationDirPath();
    console_.ConfigFolder = QString::fromStdString(bbp::configFolder(program.toStdString(), model_.folderName.toStdString()).string());
    RefreshRegisters();
}

QGroupBox* RegisterEditor::buildFields(const QString& caption, std::vector<Field>& fields, const QString& textName,
                                       const QString& labelName, int count, int columns) {
    auto* frame = new QGroupBox(caption, this);
    auto* grid = new QGridLayout(frame);
    const int rows = (count + columns - 1) / columns;
    const QString prefix = labelName.left(2);
    for (int i = 0; i < count; ++i) {
        auto* label = new QLabel(prefix + QString::number(i), frame);
        label->setObjectName(QStringLiteral("%1(%2)").arg(labelName).arg(i));
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(QStringLiteral("%1(%2)").arg(textName).arg(i));
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("MMMM") + 8);
        edit->installEventFilter(this);
        label->setBuddy(edit);
        grid->addWidget(label, i % rows, 2 * (i / rows), Qt::AlignRight);
        grid->addWidget(edit, i % rows, 2 * (i / rows) + 1);
        fields.push_back({edit, label});
    }
    return frame;
}

void RegisterEditor::setFieldState(QLineEdit* edit, bool readWrite) {
    edit->setReadOnly(!readWrite);
    edit->setFocusPolicy(readWrite ? Qt::StrongFocus : Qt::NoFocus);
    setBackground(edit, readWrite ? kReadWrite : palette().color(QPalette::Button));
}

void RegisterEditor::showValue(QLineEdit* edit, const BBPReg& reg) {
    edit->setText(QString::fromStdString(bbp::hexText(std::uint32_t(reg.value()))));
}

void RegisterEditor::RefreshRegisters() {
    std::vector<BBPReg> regs;
    try {
        regs = console_.BbpRegsObj.all();
    } catch (const AutomationError&) {
        return;
    }
    for (const BBPReg& reg : regs) {
        console_.CurrentReg = reg;
        try {
            const QString id = reg.id();
            const int n = reg.no();
            const bool isShadow = model_.shadowCount && id.contains("SR");
            auto& fields = isShadow ? shadow_ : control_;
            if (n < 0 || n >= int(fields.size())) continue;
            QLineEdit* edit = fields[n].edit;
            edit->setProperty("Tag", id);
            showValue(edit, reg);
            if (!isShadow) setFieldState(edit, reg.type() != 0);
        } catch (const AutomationError&) {
            // The failing step is skipped; the field keeps its text.
        }
    }
}

void RegisterEditor::tick() {
    traceEvent("Timer1", "Timer");
    std::vector<BBPReg> regs;
    try {
        regs = console_.BbpRegsObj.all();
    } catch (const AutomationError&) {
        return;
    }
    for (const BBPReg& reg : regs) {
        console_.CurrentReg = reg;
        try {
            if (reg.type() != 0) continue;
            const bool isShadow = model_.shadowCount && reg.id().contains("SR");
            auto& fields = isShadow ? shadow_ : control_;
            const int n = reg.no();
            if (n >= 0 && n < int(fields.size())) showValue(fields[n].edit, reg);
        } catch (const AutomationError&) {
        }
    }
    if (model_.refreshesCr31) {
        try {
            showValue(control_[31].edit, console_.BbpRegsObj.item("CR31"));
        } catch (const AutomationError&) {
        }
    }
    update();
}

void RegisterEditor::traceEvent(const QString& control, const char* event, const QString& arguments) {
    console_.logEvent(1, QStringLiteral("EVENT: %1_%2(%3)").arg(control, QLatin1String(event), arguments));
}

void RegisterEditor::traceField(const QLineEdit* edit, const char* event, const QString& more) {
    const QString name = edit->objectName();  // "bbpTxt(5)"
    const qsizetype open = name.indexOf('(');
    const QString index = name.mid(open + 1, name.size() - open - 2);
    traceEvent(name.left(open), event, more.isEmpty() ? index : index + ", " + more);
}

QString RegisterEditor::lookupKey(QLineEdit* edit) const {
    for (const auto* fields : {&control_, &shadow_})
        for (const Field& f : *fields)
            if (f.edit == edit) return f.label->text();
    return {};
}

void RegisterEditor::select(const QString& key) {
    try {
        console_.CurrentReg = console_.BbpRegsObj.item(key);
    } catch (const AutomationError&) {
    }
}

void RegisterEditor::write(QLineEdit* edit) {
    const auto value = fieldValue(edit);
    if (!value) return;  // nothing a register could take
    try {
        console_.CurrentReg.setValue(qint32(*value));
        if (console_.TxRunning) console_.restartTX();
    } catch (const AutomationError&) {
    }
}

bool RegisterEditor::stepValue(QLineEdit* edit, int step) {
    int v = int(fieldValue(edit).value_or(0)) + step;
    if (v == 256) v = 0;
    if (v == -1) v = 255;
    edit->setText(QString::fromStdString(bbp::hexText(std::uint32_t(v))));
    write(edit);
    return true;
}

void RegisterEditor::applyMultiplexer(QLineEdit* edit) {
    const bool noiseFloor = fieldValue(edit).value_or(0) & 0x40;
    const auto& texts = noiseFloor ? bbp::kMuxNoiseFloorDescriptions : bbp::kMuxReceiveDescriptions;
    for (std::size_t i = 0; i < texts.size(); ++i)
        control_[kMuxFirst + i].edit->setToolTip(QString::fromUtf8(texts[i].data(), int(texts[i].size())));
    setBackground(edit, noiseFloor ? kMuxNoiseFloor : kMuxReceive);
}

bool RegisterEditor::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || edit->isReadOnly()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        traceField(edit, "GotFocus");
        select(lookupKey(edit));
        QTimer::singleShot(0, edit, [edit] { edit->setSelection(0, 2); });
        break;
    case QEvent::FocusOut:
        traceField(edit, "LostFocus");
        write(edit);
        if (model_.shadowCount && !control_.empty() && control_.size() > kMuxRegister && edit == control_[kMuxRegister].edit)
            applyMultiplexer(edit);
        break;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() != 1 || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) break;
        const QChar c = text[0];
        if (c == '\r' || c == '\n' || c.unicode() == 0x7F) break;  // Enter and Delete are not characters here
        traceField(edit, "KeyPress", QString::number(c.unicode()));
        select(lookupKey(edit));
        if (c == '+') stepValue(edit, 1);
        if (c == '-') stepValue(edit, -1);
        const bool hex = console_.between(c.unicode(), '0', '9') || console_.between(c.unicode(), 'a', 'f') ||
                         console_.between(c.unicode(), 'A', 'F');
        return !(hex || c.unicode() == 8);
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void RegisterEditor::signalClicked(int index) {
    traceEvent("SigChk", "Click", QString::number(index));
    SignalMask = 0;
    for (QCheckBox* chk : signals_) {
        if (chk->checkState() == Qt::Unchecked) continue;
        bool ok = false;
        SignalMask += chk->property("Tag").toString().mid(2).toInt(&ok, 16);
    }
    try {
        console_.VireoObj.setSignalState(SignalMask);
    } catch (const AutomationError& e) {
        console_.setError(e.text());
    }
}

bbp::RegisterSheet RegisterEditor::sheet() const {
    bbp::RegisterSheet s;
    auto fill = [](const std::vector<Field>& from, std::vector<bbp::RegisterField>& to) {
        for (const Field& f : from)
            to.push_back({f.edit->property("Tag").toString().toStdString(), f.edit->text().toStdString(),
                          f.edit->toolTip().toStdString(), f.edit->isReadOnly()});
    };
    fill(control_, s.control);
    fill(shadow_, s.shadow);
    return s;
}

bool RegisterEditor::writeWhole(const QString& fileName, const std::string& text) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size()) ||
        !file.commit()) {
        console_.setError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
        return false;
    }
    return true;
}

namespace {
std::string generatedNow() { return bbp::localeDateTimeText(std::chrono::system_clock::now()); }
}

bool RegisterEditor::WriteIniListing(const QString& fileName) {
    return writeWhole(fileName, bbp::iniListing(sheet(), fileName.toStdString(), generatedNow()));
}

bool RegisterEditor::WriteCListing(const QString& fileName) {
    return writeWhole(fileName, bbp::cListing(sheet(), fileName.toStdString(), generatedNow()));
}

bool RegisterEditor::WritePdaListing(const QString& fileName) {
    if (!model_.writesPda) return false;
    bool cedar = false;
    try {
        cedar = console_.BbpRegsObj.bbpType() == 48;
    } catch (const AutomationError&) {
    }
    return writeWhole(fileName, bbp::pdaListing(sheet(), cedar, fileName.toStdString(), generatedNow()));
}

void RegisterEditor::applyWrites(const std::vector<bbp::RegisterWrite>& writes) {
    for (const auto& w : writes) {
        try {
            console_.CurrentReg = console_.BbpRegsObj.item(QString::fromStdString(w.key));
            console_.CurrentReg.setValue(qint32(w.value));
        } catch (const AutomationError&) {
            // A line that cannot be applied writes nothing.
        }
    }
    RefreshRegisters();
}

void RegisterEditor::ReadIniListing(const QString& fileName) {
    if (const auto text = readWhole(fileName)) applyWrites(bbp::readIniListing(*text));
    else console_.setError("Cannot read " + fileName);
}

void RegisterEditor::ReadCListing(const QString& fileName) {
    if (const auto text = readWhole(fileName)) applyWrites(bbp::readCListing(*text));
    else console_.setError("Cannot read " + fileName);
}

void RegisterEditor::ReadPdaListing(const QString& fileName) {
    console_.setError("PDA listings are not restored here; " + QFileInfo(fileName).fileName() + " left unread");
}

QString RegisterEditor::fileFilter() const {
    const QStringList parts = model_.filter.split('|');
    QStringList patterns;
    for (const QString& p : parts.value(1).split(';')) patterns << p.trimmed();
    return parts.value(0) + " (" + patterns.join(' ') + ")";
}

// The configuration folder is where the dialogs start and where a name without a folder is taken
// from; the process's working directory stays as it is, since other windows resolve names too.
QString RegisterEditor::inConfigFolder(const QString& chosen) const {
    return chosen.isEmpty() || QFileInfo(chosen).isAbsolute() ? chosen : QDir(console_.ConfigFolder).filePath(chosen);
}

void RegisterEditor::save() {
    traceEvent("savebtn", "Click");
    const QString folder = console_.ConfigFolder;
    QDir().mkpath(folder);
    const QString chosen = inConfigFolder(console_.dialogs().saveFileName(this, "Save Configuration File As", folder,
                                                                          model_.folderName.toLower(), fileFilter()));
    if (chosen.isEmpty()) return;
    const QString base = QString::fromStdString(bbp::saveBase(chosen.toStdString()));
    if (!WriteIniListing(base + ".ini") || !WriteCListing(base + ".c")) return;
    if (model_.writesPda) WritePdaListing(base + ".pda");
}

void RegisterEditor::restore() {
    traceEvent("restoreBtn", "Click");
    const QString chosen = inConfigFolder(console_.dialogs().openFileName(
        this, "Restore Configuration From File", console_.ConfigFolder, model_.folderName.toLower(), fileFilter()));
    if (chosen.isEmpty()) return;
    const auto kinds = bbp::restoreKinds(chosen.toStdString());
    if (kinds.ini) ReadIniListing(chosen);
    if (kinds.c) ReadCListing(chosen);
    if (kinds.pda) ReadPdaListing(chosen);
}

}  // namespace kestview
