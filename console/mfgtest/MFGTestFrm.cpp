#include "MFGTestFrm.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ResultFrm.h"
#include "console_ports.h"
#include "instrument_port.h"
#include "run_outputs.h"
#include "spool.h"

namespace kestview::mfgtest {

namespace {

QString indexed(const char* name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

QLineEdit* field(const QString& name, const QString& text, bool readOnly = false) {
    auto* e = new QLineEdit(text);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    return e;
}

// A frame of labelled entry fields: (caption, objectName, default).
QGroupBox* fieldGroup(const QString& title, std::initializer_list<std::tuple<const char*, QString, const char*>> rows) {
    auto* box = new QGroupBox(title);
    auto* g = new QGridLayout(box);
    int r = 0;
    for (const auto& [caption, name, value] : rows) {
        g->addWidget(new QLabel(QString::fromLatin1(caption)), r, 0);
        QLineEdit* e = field(name, QString::fromLatin1(value));
        e->setMaxLength(4);
        // Room for four hexadecimal digits whatever the font, and no wider.
        const int width = e->fontMetrics().horizontalAdvance(QStringLiteral("DDDD")) + 16;
        e->setMinimumWidth(width);
        e->setMaximumWidth(std::max(width, 70));
        g->addWidget(e, r++, 1);
    }
    return box;
}

}  // namespace

// The console around a test run from this window: the allowed-channel boxes toggle as channels
// are tested, and the exit button reads "Stop Testing" while a test runs.
class MFGTestFrm::FormHost final : public ConsoleTestHost {
public:
    FormHost(MFGTestFrm& form) : ConsoleTestHost(form.c_, &form), form_(form) {}
    void setTesting(bool on) override {
        ConsoleTestHost::setTesting(on);
        form_.TestCmd_[5]->setText(on ? QStringLiteral("Stop Testing") : QStringLiteral("Exit Testing"));
    }
    void toggleAllowedChannel(int channel) override {
        if (QCheckBox* b = form_.AllowedChnChk_[channel]) b->setChecked(!b->isChecked());
    }

private:
    MFGTestFrm& form_;
};

MFGTestFrm::MFGTestFrm(Console& console, instruments::TestEquipment& equipment, std::function<void()> macReadoutChanged,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), c_(console), equipment_(equipment), macReadoutChanged_(std::move(macReadoutChanged)) {
    setObjectName(QStringLiteral("MFGTestFrm"));
    setWindowTitle(QStringLiteral("Manufacturing Test Form"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(buildCommands());
    layout->addWidget(buildAdapterFrames());
    layout->addWidget(buildEntryFields());

    // Load.
    c_.logEvent(1, QStringLiteral("EVENT: MFGTestFrm_Load()"));
    reference_ = Check1_->isChecked();
    NicSerialTxt_->setText(c_.SerialNo);
    MacTxt_->setText(c_.macText());
    MaskOffSettxt_->setText(QString::number(qint16(c_.MaskOffset)));
    connect(MaskOffSettxt_, &QLineEdit::textChanged, this, [this] { MaskOffSettxt_Change(); });
}

MFGTestFrm::~MFGTestFrm() = default;

QWidget* MFGTestFrm::buildCommands() {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    const char* captions[] = {"Spectral Mask Test", "Receiver Sensitivity Test", "Operational Test",
                              "Open Vireo Adapter", "Close Vireo Adapter", "Exit Testing"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(captions[i]));
        b->setObjectName(indexed("TestCmd", i));
        b->setMinimumSize(210, 36);
        connect(b, &QPushButton::clicked, this, [this, i] { TestCmd_Click(i); });
        TestCmd_[i] = b;
        v->addWidget(b);
        if (i == 2) v->addSpacing(12);
    }
    v->addSpacing(12);
    Check1_ = new QCheckBox(QStringLiteral("REF -25dbm"));
    Check1_->setObjectName(QStringLiteral("Check1"));
    connect(Check1_, &QCheckBox::clicked, this, [this] {
        c_.logEvent(1, QStringLiteral("EVENT: Check1_Click()"));
        reference_ = Check1_->isChecked();
    });
    v->addWidget(Check1_);
    auto* offset = new QGroupBox(QStringLiteral("Mask Offset (dB)"));
    auto* h = new QHBoxLayout(offset);
    MaskOffSettxt_ = field(QStringLiteral("MaskOffSettxt"), QString());
    MaskOffSettxt_->setMaximumWidth(80);
    MaskOffSettxt_->setToolTip(QStringLiteral("0 to 255; 0 runs the test with 28"));
    h->addWidget(MaskOffSettxt_);
    h->addStretch();
    v->addWidget(offset);
    v->addStretch();
    return box;
}

QWidget* MFGTestFrm::buildAdapterFrames() {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    auto frame = [&](const QString& title, QLineEdit*& edit, const QString& name) {
        auto* g = new QGroupBox(title);
        auto* h = new QHBoxLayout(g);
        edit = field(name, QString(), true);
        edit->setMinimumWidth(190);
        h->addWidget(edit);
        v->addWidget(g);
    };
    frame(QStringLiteral("Mac Address"), MacTxt_, QStringLiteral("MacTxt"));
    frame(QStringLiteral("Nic Serial Number"), NicSerialTxt_, QStringLiteral("NicSerialTxt"));
    auto* channels = new QGroupBox(QStringLiteral("Allowed Channel Set"));
    auto* g = new QGridLayout(channels);
    for (int ch = 1; ch <= 14; ++ch) {
        auto* b = new QCheckBox(QStringLiteral("Channel %1").arg(ch));
        b->setObjectName(indexed("AllowedChnChk", ch));
        AllowedChnChk_[ch] = b;
        g->addWidget(b, (ch - 1) % 7, (ch - 1) / 7);
    }
    v->addWidget(channels);
    v->addStretch();
    return box;
}

QWidget* MFGTestFrm::buildEntryFields() {
    auto* box = new QWidget;
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);

    auto* product = new QGroupBox(QStringLiteral("Product Part Number"));
    (new QHBoxLayout(product))->addWidget(field(QStringLiteral("ProductTxt"), QStringLiteral("SPRUCEB5")));
    g->addWidget(product, 0, 0);

    auto* temperature = new QGroupBox(QStringLiteral("Temperature Type"));
    auto* tv = new QVBoxLayout(temperature);
    const char* temps[] = {"Type I, Commerical  0  -> +40 Degrees", "Type III, Industrial -30  -> +70 Degrees",
                           "Type II, Industrial l -20 -> +55 Degrees"};
    for (int i = 0; i < 3; ++i) {
        auto* o = new QRadioButton(QString::fromLatin1(temps[i]));
        o->setObjectName(indexed("TempOpt", i));
        o->setChecked(i == 0);
        tv->addWidget(o);
    }
    g->addWidget(temperature, 1, 0);

    auto* domains = new QGroupBox(QStringLiteral("Regulatory Domain List"));
    auto* dg = new QGridLayout(domains);
    const char* names[] = {"Japan", "USA", "Canada", "Euro/Aust", "Spain", "France"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QCheckBox(QString::fromLatin1(names[i]));
        b->setObjectName(indexed("DomainChk", i));
        dg->addWidget(b, i % 3, i / 3);
    }
    g->addWidget(domains, 2, 0);

    auto* defaults = new QGroupBox(QStringLiteral("Default"));
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("DefaultLst"));
    for (int ch = 1; ch <= 14; ++ch) list->addItem(QString::number(ch));
    (new QVBoxLayout(defaults))->addWidget(list);
    defaults->setFixedWidth(90);
    g->addWidget(defaults, 0, 1, 3, 1);

    auto supplier = [](const QString& title, const QString& prefix) {
        return fieldGroup(title, {{"Top Level", prefix + "TopTxt", "0001"},
                                  {"Role", prefix + "RoleTxt", "0000"},
                                  {"Bottom Lvl", prefix + "BottomTxt", "0001"},
                                  {"Variant", prefix + "VariantTxt", "0001"},
                                  {"Interface ID", prefix + "InterfaceTxt", "0001"}});
    };
    auto* ranges = new QWidget;
    auto* rh = new QHBoxLayout(ranges);
    rh->setContentsMargins(0, 0, 0, 0);
    rh->addWidget(supplier(QStringLiteral("Controller Supplier Range"), QStringLiteral("Ctrl")));
    rh->addWidget(supplier(QStringLiteral("RF Modem Supplier"), QStringLiteral("Modem")));
    rh->addWidget(fieldGroup(QStringLiteral("Nic Identification"), {{"Component Id", "NicComponentTxt", "8002"},
                                                                   {"Major Version", "NicMajorTxt", "0001"},
                                                                   {"Minor Version", "NicMinorTxt", "0000"},
                                                                   {"Variant", "NicVariantTxt", "0000"}}));
    g->addWidget(ranges, 3, 0, 1, 2);
    g->setRowStretch(4, 1);
    return box;
}

void MFGTestFrm::setTestButtons(bool enabled) {
    for (int i : {0, 1, 2, 4}) TestCmd_[i]->setEnabled(enabled);
}

void MFGTestFrm::MaskOffSettxt_Change() {
    c_.logEvent(1, QStringLiteral("EVENT: MaskOffSettxt_Change()"));
    const auto offset = maskOffsetFromField(MaskOffSettxt_->text().toStdString(), c_.MaskOffset);
    if (!offset) {
        MaskOffSettxt_->setText(QStringLiteral("0"));  // out of range: the change handler runs again
        return;
    }
    c_.MaskOffset = *offset;
}

bool MFGTestFrm::OpenTestAdapter() {
    c_.logEvent(3, QStringLiteral("OpenTestAdapter()"));
    try {
        c_.fetchAdapter();
        if (!c_.AdapterObj.open()) return false;
        // An adapter closed and opened again has new component objects: bind the console to them.
        c_.bindVireo();
        if (!c_.SetObjects()) return false;
    } catch (const AutomationError& e) {
        c_.setError(QStringLiteral("Open Vireo Adapter : ") + e.text());
        return false;
    }
    setTestButtons(true);
    c_.refreshTimer().start();
    for (auto& [ch, b] : AllowedChnChk_) b->setChecked(false);
    return true;
}

void MFGTestFrm::CloseTestAdapter() {
    c_.logEvent(3, QStringLiteral("CloseTestAdapter()"));
    try {
        c_.fetchAdapter();
        c_.AdapterObj.close();
    } catch (const AutomationError& e) {
        c_.setError(QStringLiteral("Close Vireo Adapter : ") + e.text());
    }
    setTestButtons(false);
    c_.refreshTimer().stop();
}

void MFGTestFrm::TestCmd_Click(int index) {
    c_.logEvent(1, QStringLiteral("EVENT: TestCmd_Click(%1)").arg(index));
    switch (index) {
    case 0:
        spectralMaskTest();
        break;
    case 3:
        if (!OpenTestAdapter()) break;
        NicSerialTxt_->setText(c_.SerialNo);
        try {
            c_.MacBytes = c_.RidMacAddr.ridAsByteArray();
        } catch (const AutomationError& e) {
            c_.setError(QStringLiteral("Open Vireo Adapter : ") + e.text());
        }
        if (macReadoutChanged_) macReadoutChanged_();
        MacTxt_->setText(c_.macText());
        break;
    case 4:
        CloseTestAdapter();
        break;
    case 5:
        if (TestCmd_[5]->text() == QStringLiteral("Exit Testing")) {
            OpenTestAdapter();
            close();
        } else {
            c_.TestingFlag = false;  // the running test stops at the next channel
        }
        break;
    default:  // the receiver sensitivity and operational tests have no action
        break;
    }
}

void MFGTestFrm::spectralMaskTest() {
    EquipmentInstruments instruments(equipment_);
    if (reference_) {
        try {
            instruments.saAmplitudeLevel();
        } catch (const std::exception& e) {
            c_.setError(QString::fromStdString(e.what()));
        }
    }
    OpenTestAdapter();
    setTestButtons(false);
    c_.refreshTimer().stop();
    TestCmd_[3]->setEnabled(false);

    ConsoleAdapterPort adapter(c_);
    FormHost host(*this);
    store_.reset();
    const QDateTime started = QDateTime::currentDateTime();
    last_ = OperationalTest(adapter, instruments, host, c_.AnalyzerOk && c_.PowerMeterOk, c_.PowerMeterOk,
                            c_.InstrumentsNotReady.toStdString(), MaskOffSettxt_->text().toStdString(), c_.MaskOffset,
                            [this](const MaskTestRun& run) { showResults(run); });
    TestCmd_[3]->setEnabled(true);
    if (!last_.ran || last_.run.stopped) return;  // not run, or stopped by the operator: no record of it
    QString error;
    const QString path = writeRunRecord(
        c_, last_.run, {started, QDateTime::currentDateTime(), last_.passed, store_ ? &*store_ : nullptr}, error);
    if (path.isEmpty()) return c_.setError(error);
    if (const auto db = results::storeAfterRun(path, c_.ResultsDb); !db.stored) c_.setError(db.message);
}

void MFGTestFrm::showResults(const MaskTestRun& run) {
    c_.TestData = run.rows;
    ResultFrm results(c_, run, this);
    results.exec();
    if (results.storeAttempted()) store_ = results.storeOutcome();
    c_.TestData = {};  // the results window releases the rows when it unloads
}

void MFGTestFrm::closeEvent(QCloseEvent* event) {
    if (c_.TestingFlag) {  // closing while a test runs stops the test; the window stays
        c_.TestingFlag = false;
        event->ignore();
        return;
    }
    if (QWidget* main = c_.mainWindow()) main->show();
    QWidget::closeEvent(event);
}

}  // namespace kestview::mfgtest
