// The main window: its controls, start-up, server choice, adapter list, open, close and exit.
#include "main_frm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <unistd.h>

#include "caption_room.h"
#include "channel_option_style.h"

namespace kestview {

namespace {

QString indexed(const char* name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

// The tooltip of a control that shows a polled record: the record's description and number.
QString recordTip(const char* id) {
    return QStringLiteral("%1 (record %2)").arg(polledRidDescription(id), QString::fromLatin1(id).toUpper());
}

// Rate options: index (the value written to FC84) and caption, in display order.
const std::pair<int, const char*> kRates[] = {{15, "Full Auto "}, {8, "11MB "}, {4, "5.5MB "},
                                              {3, "1-2MB "},      {2, "2MB "},  {1, "1MB "}};
const char* const kPortTypes[] = {"Basic Service Set", "Wireless Distribution", "IBSS", "Host IBSS", "Host BSS",
                                  "Host AP"};

}  // namespace

MainFrm::MainFrm(Console& console, WindowOpeners openers, QWidget* parent)
    : QMainWindow(parent), c_(console), openers_(std::move(openers)) {
    setObjectName(QStringLiteral("MainFrm"));
    buildWindow();
    connectControls();
    c_.setMainWindow(this);
    Form_Load();
}

MainFrm::~MainFrm() {
    endSession();  // a window destroyed without being closed first still stops its test
}

QString MainFrm::captionText() {
    return QStringLiteral("ORUBENCH    ( Version %1.%2.%3 )")
        .arg(KESTVIEW_VERSION_MAJOR)
        .arg(KESTVIEW_VERSION_MINOR)
        .arg(KESTVIEW_VERSION_PATCH);
}

// ---- Controls ---------------------------------------------------------------------------------

void MainFrm::buildWindow() {
    auto* maint = menuBar()->addMenu(QStringLiteral("Maintenace Windows"));
    viewTallies_ = maint->addAction(QStringLiteral("View Tallies"));
    viewTallies_->setObjectName(QStringLiteral("ViewTalliesMnu"));
    sweepResults_ = maint->addAction(QStringLiteral("Sweep Results"));
    sweepResults_->setObjectName(QStringLiteral("SweepResultsMnu"));

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->addWidget(buildSelection(), 0, 0, 2, 1);
    grid->addWidget(buildIdentity(), 0, 1);
    grid->addWidget(buildPanel(), 1, 1);
    grid->addWidget(buildChannels(), 0, 2, 2, 1);
    grid->addWidget(buildStatus(), 2, 0, 1, 3);
    grid->setColumnStretch(0, 3);
    setCentralWidget(central);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("ErrorStatusBar"));
    errorPicture_ = new QLabel(bar);
    errorPicture_->setObjectName(QStringLiteral("ErrorStatusBar(1)"));
    errorPicture_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    errorMessage_ = new QLabel(bar);
    errorMessage_->setObjectName(QStringLiteral("ErrorStatusBar(2)"));
    bar->addWidget(errorPicture_);
    bar->addWidget(errorMessage_, 1);
    errorPicture_->hide();
    setStatusBar(bar);
}

QWidget* MainFrm::buildSelection() {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    auto* server = new QGroupBox(QStringLiteral("Server"));
    auto* sh = new QHBoxLayout(server);
    for (int i : {0, 1}) {
        auto* o = new QRadioButton(i == 0 ? QStringLiteral("Local ") : QStringLiteral("Remote"));
        o->setObjectName(indexed("optServer", i));
        optServer_[i] = o;
        sh->addWidget(o);
    }
    optServer_[0]->setChecked(true);
    txtServer_ = new QLineEdit;
    txtServer_->setObjectName(QStringLiteral("txtServer"));
    sh->addWidget(txtServer_, 1);
    v->addWidget(server);

    auto* which = new QGroupBox(QStringLiteral("Adapters"));
    auto* wh = new QHBoxLayout(which);
    for (int i : {0, 1}) {
        auto* o = new QRadioButton(i == 0 ? QStringLiteral("All Adapters") : QStringLiteral("Detected Vireo Adapters"));
        o->setObjectName(indexed("optAdapters", i));
        optAdapters_[i] = o;
        wh->addWidget(o);
    }
    optAdapters_[1]->setChecked(true);
    v->addWidget(which);

    AdapterLst_ = new QListWidget;
    AdapterLst_->setObjectName(QStringLiteral("AdapterLst"));
    AdapterLst_->setMinimumWidth(420);
    v->addWidget(AdapterLst_, 1);
    StatusLbl_ = new QLabel;
    StatusLbl_->setObjectName(QStringLiteral("StatusLbl"));
    v->addWidget(StatusLbl_);
    auto* buttons = new QHBoxLayout;
    CloseAdaptCmd_ = new QPushButton(QStringLiteral("Close Adapter"));
    CloseAdaptCmd_->setObjectName(QStringLiteral("CloseAdaptCmd"));
    CloseBtn_ = new QPushButton(QStringLiteral("Exit Testing"));
    CloseBtn_->setObjectName(QStringLiteral("CloseBtn"));
    buttons->addWidget(CloseAdaptCmd_);
    buttons->addWidget(CloseBtn_);
    v->addLayout(buttons);
    return box;
}

QWidget* MainFrm::buildIdentity() {
    auto* box = new QWidget;
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    g->addWidget(new QLabel(QStringLiteral("Baseband Type ")), 0, 0);
    BBPTypeTxt_ = new QLineEdit;
    BBPTypeTxt_->setObjectName(QStringLiteral("BBPTypeTxt"));
    BBPTypeTxt_->setReadOnly(true);
    g->addWidget(BBPTypeTxt_, 0, 1);
    auto* mac = new QGroupBox(QStringLiteral("MAC ADDRESS"));
    auto* mh = new QHBoxLayout(mac);
    MacTxt_ = new QLineEdit;
    MacTxt_->setObjectName(QStringLiteral("MacTxt"));
    MacTxt_->setReadOnly(true);
    MacTxt_->setToolTip(recordTip(kMacAddrRid));
    mh->addWidget(MacTxt_);
    g->addWidget(mac, 1, 0, 1, 2);
    g->addWidget(new QLabel(QStringLiteral("SSID")), 2, 0);
    SSIDTxt_ = new QLineEdit;
    SSIDTxt_->setObjectName(QStringLiteral("SSIDTxt"));
    SSIDTxt_->setToolTip(recordTip(kSsidRid));
    g->addWidget(SSIDTxt_, 2, 1);

    RateFrm_ = new QGroupBox(QStringLiteral("TX Rate"));
    RateFrm_->setObjectName(QStringLiteral("RateFrm"));
    RateFrm_->setToolTip(recordTip(kTxRateRid));
    auto* rg = new QGridLayout(RateFrm_);
    int n = 0;
    for (const auto& [index, caption] : kRates) {
        auto* o = new QRadioButton(QString::fromLatin1(caption));
        o->setObjectName(indexed("RateOpt", index));
        RateOpt_[index] = o;
        rg->addWidget(o, n / 2, n % 2);
        ++n;
    }
    g->addWidget(RateFrm_, 3, 0, 1, 2);

    modeFrm_ = new QGroupBox(QStringLiteral("Mode"));
    modeFrm_->setObjectName(QStringLiteral("modeFrm"));
    auto* mo = new QHBoxLayout(modeFrm_);
    portTypeCbo_ = new QComboBox;
    portTypeCbo_->setObjectName(QStringLiteral("portTypeCbo"));
    portTypeCbo_->setToolTip(recordTip(kPortTypeRid));
    for (const char* t : kPortTypes) portTypeCbo_->addItem(QString::fromLatin1(t));
    portTypeCbo_->setCurrentIndex(-1);
    mo->addWidget(portTypeCbo_);
    g->addWidget(modeFrm_, 4, 0, 1, 2);
    return box;
}

QWidget* MainFrm::buildPanel() {
    auto* panel = new QGroupBox(QStringLiteral("Control Panel"));
    auto* g = new QGridLayout(panel);
    auto button = [&](QPushButton*& b, const char* name, const char* caption, int row, int col) {
        b = new QPushButton(QString::fromLatin1(caption));
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoFillBackground(true);
        giveCaptionRoom(b);
        g->addWidget(b, row, col);
    };
    button(ContTxBtn_, "ContTxBtn", "Continuous Tx", 0, 0);
    button(ContRxBtn_, "ContRxBtn", "Continuous RX", 0, 1);
    button(MonitorBtn_, "MonitorBtn", "Monitor", 1, 0);
    button(SoftBootBtn_, "SoftBootBtn", "Soft Boot", 1, 1);
    button(pbodBtn_, "pbodBtn", "Suppress Post Back off Delay", 2, 0);
    button(TxSupBtn_, "TxSupBtn", "Tx Exception Suppression", 2, 1);
    button(InitBtn_, "InitBtn", "Init Phy", 3, 0);
    button(ResetBtn_, "ResetBtn", "Reset Phy", 3, 1);
    button(SleepBtn_, "SleepBtn", "Sleep", 4, 0);
    button(WakeBtn_, "WakeBtn", "Wake", 4, 1);
    button(IssueCmdBtn_, "IssueCmdBtn", "Issue Cmds", 5, 0);
    button(RIDBtn_, "RIDBtn", "Exam RIDS", 5, 1);
    button(BBPBtn_, "BBPBtn", "Align BBP ", 6, 0);
    button(TestCmd_, "TestCmd", "MfgTest", 6, 1);
    auto* pattern = new QHBoxLayout;
    pattern->addWidget(new QLabel(QStringLiteral("Tx Pattern")));
    PatternTxt_ = new QLineEdit(QStringLiteral("0000"));
    PatternTxt_->setObjectName(QStringLiteral("PatternTxt"));
    PatternTxt_->setMaxLength(4);
    pattern->addWidget(PatternTxt_);
    g->addLayout(pattern, 7, 0, 1, 2);
    return panel;
}

QWidget* MainFrm::buildChannels() {
    auto* box = new QGroupBox(QStringLiteral("Radio Channels"));
    box->setToolTip(recordTip(kChannelRid));
    auto* v = new QVBoxLayout(box);
    for (int ch = 1; ch <= 14; ++ch) {
        const int mhz = ch == 14 ? 2484 : 2407 + 5 * ch;
        auto* o = new ChannelOption(QStringLiteral("%1mhz").arg(mhz));
        o->setObjectName(indexed("RadioOpt", ch));
        RadioOpt_[ch] = o;
        v->addWidget(o);
    }
    return box;
}

QWidget* MainFrm::buildStatus() {
    auto* box = new QWidget;
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    g->addWidget(new QLabel(QStringLiteral("Signal Strength")), 0, 0);
    SignalBar_ = new QProgressBar;
    SignalBar_->setObjectName(QStringLiteral("SignalBar"));
    SignalBar_->setRange(27, 185);
    SignalBar_->setToolTip(recordTip(kCommsQualityRid));
    g->addWidget(SignalBar_, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Signal Quality")), 1, 0);
    QualityBar_ = new QProgressBar;
    QualityBar_->setObjectName(QStringLiteral("QualityBar"));
    QualityBar_->setRange(0, 92);
    QualityBar_->setToolTip(recordTip(kCommsQualityRid));
    g->addWidget(QualityBar_, 1, 1);
    tmrdisablechk_ = new QCheckBox(QStringLiteral("Check to Disable Auto refresh timer"));
    tmrdisablechk_->setObjectName(QStringLiteral("tmrdisablechk"));
    g->addWidget(tmrdisablechk_, 0, 2, 2, 1);
    g->setColumnStretch(1, 1);
    return box;
}

void MainFrm::connectControls() {
    for (auto& [i, o] : optServer_) connect(o, &QRadioButton::clicked, this, [this, i = i] { optServer_Click(i); });
    for (auto& [i, o] : optAdapters_) connect(o, &QRadioButton::clicked, this, [this, i = i] { optAdapters_Click(i); });
    connect(AdapterLst_, &QListWidget::itemClicked, this, [this] { AdapterLst_Click(); });
    connect(CloseAdaptCmd_, &QPushButton::clicked, this, [this] { CloseAdaptCmd_Click(); });
    connect(CloseBtn_, &QPushButton::clicked, this, [this] { CloseBtn_Click(); });
    connect(tmrdisablechk_, &QCheckBox::clicked, this, [this] { tmrdisablechk_Click(); });
    connect(&c_.refreshTimer(), &QTimer::timeout, this, [this] { RefreshTmr_Timer(); });
    connect(&c_, &Console::errorStatusChanged, this, [this](bool shown, const QString& text) {
        errorPicture_->setVisible(shown);
        errorMessage_->setText(text);
    });

    for (auto& [i, o] : RadioOpt_) connect(o, &QRadioButton::clicked, this, [this, i = i] { RadioOpt_Click(i); });
    for (auto& [i, o] : RateOpt_) connect(o, &QRadioButton::clicked, this, [this, i = i] { RateOpt_Click(i); });
    connect(portTypeCbo_, &QComboBox::activated, this, [this] { portTypeCbo_Click(); });
    connect(ContTxBtn_, &QPushButton::clicked, this, [this] { ContTxBtn_Click(); });
    connect(ContRxBtn_, &QPushButton::clicked, this,
            [this] { toggleMode(ContRxBtn_, contRxOn_, QStringLiteral("ContRxBtn"), &Vireo::continuousRx); });
    connect(pbodBtn_, &QPushButton::clicked, this,
            [this] { toggleMode(pbodBtn_, pbodOn_, QStringLiteral("pbodBtn"), &Vireo::pbodSuppression); });
    connect(TxSupBtn_, &QPushButton::clicked, this,
            [this] { toggleMode(TxSupBtn_, txSupOn_, QStringLiteral("TxSupBtn"), &Vireo::txExSuppression); });
    connect(MonitorBtn_, &QPushButton::clicked, this,
            [this] { toggleMode(MonitorBtn_, monitorOn_, QStringLiteral("MonitorBtn"), &Vireo::monitorMode); });
    connect(InitBtn_, &QPushButton::clicked, this, [this] { physicalLayer(QStringLiteral("InitBtn"), &Vireo::initPhy, true); });
    connect(ResetBtn_, &QPushButton::clicked, this, [this] { physicalLayer(QStringLiteral("ResetBtn"), &Vireo::resetPhy, true); });
    connect(SleepBtn_, &QPushButton::clicked, this, [this] { physicalLayer(QStringLiteral("SleepBtn"), &Vireo::sleepPhy, false); });
    connect(WakeBtn_, &QPushButton::clicked, this, [this] { physicalLayer(QStringLiteral("WakeBtn"), &Vireo::wakePhy, false); });
    connect(SoftBootBtn_, &QPushButton::clicked, this, [this] { SoftBootBtn_Click(); });
    connect(BBPBtn_, &QPushButton::clicked, this, [this] { BBPBtn_Click(); });
    connect(TestCmd_, &QPushButton::clicked, this, [this] { TestCmd_Click(); });
    connect(IssueCmdBtn_, &QPushButton::clicked, this,
            [this] { openWindow(QStringLiteral("IssueCmdBtn_Click"), openers_.commandWindow); });
    connect(RIDBtn_, &QPushButton::clicked, this,
            [this] { openWindow(QStringLiteral("RIDBtn_Click"), openers_.recordBrowser); });
    connect(viewTallies_, &QAction::triggered, this,
            [this] { openWindow(QStringLiteral("ViewTalliesMnu_Click"), openers_.tallies); });
    connect(sweepResults_, &QAction::triggered, this,
            [this] { openWindow(QStringLiteral("SweepResultsMnu_Click"), openers_.sweepResults); });
    // A card reset from another window (the tallies window) rests the test buttons as Soft Boot does.
    connect(&c_, &Console::cardResetRequested, this, [this] {
        try {
            ClearTestBtns();
        } catch (const AutomationError& e) {
            c_.logEvent(2, QStringLiteral("ClearTestBtns error: ") + e.text());
        }
    });
    PatternTxt_->installEventFilter(this);
    SSIDTxt_->installEventFilter(this);
    AdapterLst_->installEventFilter(this);
    orderTabs();
}

void MainFrm::orderTabs() {
    // Left to right as the window reads: where and which adapters, the list and its buttons, the
    // identity and the rate and mode, the control panel, the channels, the refresh box.
    std::vector<QWidget*> order{optServer_[0], optServer_[1], txtServer_, optAdapters_[0], optAdapters_[1],
                                AdapterLst_,   CloseAdaptCmd_, CloseBtn_,  SSIDTxt_};
    for (const auto& [index, caption] : kRates) order.push_back(RateOpt_[index]);
    order.insert(order.end(), {portTypeCbo_, ContTxBtn_, ContRxBtn_, MonitorBtn_, SoftBootBtn_, pbodBtn_, TxSupBtn_,
                               InitBtn_, ResetBtn_, SleepBtn_, WakeBtn_, IssueCmdBtn_, RIDBtn_, BBPBtn_, TestCmd_,
                               PatternTxt_});
    for (auto& [i, o] : RadioOpt_) order.push_back(o);
    order.push_back(tmrdisablechk_);
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

// ---- Start-up and shut-down -------------------------------------------------------------------

void MainFrm::Initial() {
    c_.logEvent(3, QStringLiteral("Initial()"));
    colours_.buttonFace = QApplication::palette().color(QPalette::Button);
}

void MainFrm::Form_Load() {
    c_.logEvent(1, QStringLiteral("EVENT: Form_Load()"));
    Initial();
    char name[32] = {};  // this computer's name, up to 31 characters
    gethostname(name, sizeof name - 1);
    txtServer_->setText(QString::fromLocal8Bit(name));
    setWindowTitle(captionText());
    c_.TxRunning = false;
    try {
        c_.AdaptersObj = createLocalAdapters();
    } catch (const AutomationError& e) {
        c_.setError(e.description());
    }
    listAdapters();
    c_.TxPattern = patternValue(PatternTxt_->text());
    hook_.Hook(portTypeCbo_, &c_.refreshTimer());
    disablebtns();
    CloseAdaptCmd_->setEnabled(false);
}

void MainFrm::closeEvent(QCloseEvent* event) {
    c_.logEvent(1, QStringLiteral("EVENT: Form_Unload()"));
    endSession();
    event->accept();
}

void MainFrm::endSession() {
    if (ended_) return;
    ended_ = true;
    c_.refreshTimer().stop();
    // Exit Testing has stopped the test already; a window closed any other way stops it here.
    if (!shutdown_) stopAdapterTest();
    closeAdapterWindows();
    hook_.Unhook();
    c_.releaseAll();
}

void MainFrm::CloseBtn_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: CloseBtn_Click()"));
    try {
        c_.VireoObj.stopTest();
    } catch (const AutomationError&) {
    }
    try {
        c_.VireoObj.initPhy();
    } catch (const AutomationError&) {
    }
    c_.refreshTimer().setInterval(250);
    c_.refreshTimer().start();
    shutdown_ = true;
}

// ---- Adapter list -----------------------------------------------------------------------------

void MainFrm::listAdapters() {
    c_.logEvent(3, QStringLiteral("listAdapters()"));
    AdapterLst_->clear();
    if (!c_.AdaptersObj) return;
    try {
        for (const Adapter& a : c_.AdaptersObj.all())
            if (a.isVela()) AdapterLst_->addItem(a.enumerator() + "     " + a.description());
    } catch (const AutomationError& e) {
        c_.setError(e.text());
    }
}

void MainFrm::listAdaptersAll() {
    c_.logEvent(3, QStringLiteral("listAdaptersAll()"));
    if (!c_.AdaptersObj) return;
    AdapterLst_->clear();
    try {
        for (const Adapter& a : c_.AdaptersObj.all()) AdapterLst_->addItem(a.enumerator() + "     " + a.description());
    } catch (const AutomationError& e) {
        c_.setError(e.text());
    }
}

void MainFrm::optAdapters_Click(int index) {
    c_.logEvent(1, QStringLiteral("EVENT: optAdapters_Click(%1)").arg(index));
    optAdapters_[index]->setChecked(true);
    if (index == 0) listAdaptersAll();
    else listAdapters();
}

void MainFrm::optServer_Click(int index) {
    c_.logEvent(1, QStringLiteral("EVENT: optServer_Click(%1)").arg(index));
    c_.RemoteObj = {};
    if (c_.AdaptersObj) {
        CloseAdaptCmd_Click();
        AdapterLst_->clear();
        c_.releaseAll();
    }
    if (index == 0) {
        try {
            c_.AdaptersObj = createLocalAdapters();
        } catch (const AutomationError& e) {
            c_.setError(e.description());
        }
        setBackground(AdapterLst_, colours_.white);
        optAdapters_Click(0);
        return;
    }
    const QString host = txtServer_->text().trimmed();
    setBackground(txtServer_, colours_.busy);
    c_.setError(QStringLiteral("STANDBY - Some remote requests can take 2 minutes to respond !"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        c_.RemoteObj = RemoteProvider::create(host);
        c_.AdaptersObj = c_.RemoteObj.adapters();
        setBackground(txtServer_, colours_.white);
        c_.clrstatusbar();
        setBackground(AdapterLst_, colours_.busy);
        optAdapters_Click(0);
    } catch (const AutomationError& e) {
        c_.logEvent(2, QStringLiteral("optServer error: ") + e.text());
        c_.RemoteObj = {};
        c_.AdaptersObj = {};
        QApplication::restoreOverrideCursor();
        // The STANDBY text and the busy colour go; the status bar keeps what the provider said.
        setBackground(txtServer_, colours_.white);
        c_.setError(e.text());
        const qint32 number = creationErrorNumber(e.number());
        Dialogs& d = c_.dialogs();
        switch (number) {
        case 70: d.message(this, QStringLiteral("Access Denied - check server permissions"), QStringLiteral("Connection Error")); break;
        case 429:
            d.message(this, QStringLiteral("No response from server.  ensure server is running on remote host !"),
                      QStringLiteral("CREATE ERROR"), Dialogs::Icon::Critical);
            break;
        case 462:
            d.message(this, QStringLiteral("Remote Host Does not exist or is Unavailable"), QStringLiteral("CONNECT ERROR"),
                      Dialogs::Icon::Critical);
            break;
        default: d.message(this, e.description() + QStringLiteral(" Error ") + QString::number(number)); break;
        }
        return;
    }
    QApplication::restoreOverrideCursor();
}

// ---- Open and close ---------------------------------------------------------------------------

void MainFrm::AdapterLst_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: AdapterLst_Click()"));
    disablebtns();
    clearFields();
    // The adapter opened before stays open, but its test stops now, on that adapter, and none of
    // its objects serves the next one.
    stopAdapterTest();
    closeAdapterWindows();
    forgetAdapter();
    const QListWidgetItem* item = AdapterLst_->currentItem();
    if (!item) return;
    const QString line = item->text();
    const QString trimmed = line.trimmed();
    c_.AdapterKey = trimmed.left(trimmed.indexOf(' ') < 0 ? trimmed.size() : trimmed.indexOf(' '));
    StatusLbl_->setText(QStringLiteral(" Selected :") + line);
    const QString prefix = QStringLiteral("Adapter ") + c_.AdapterKey;
    QTimer& timer = c_.refreshTimer();

    try {
        c_.fetchAdapter();
    } catch (const AutomationError& e) {
        c_.logEvent(2, e.text());
        c_.setError(prefix + QStringLiteral(" OPEN ADAPTER ERROR"));
        c_.waitSecs(2);
        timer.stop();
        return;
    }
    bool ok = false;
    try {
        ok = c_.AdapterObj.open();
    } catch (const AutomationError& e) {
        c_.logEvent(2, e.text());
        c_.setError(prefix + QStringLiteral(" ACTIVATE ADAPTER ERROR"));
        timer.stop();
        return;
    }
    if (!ok) {
        try {
            c_.fetchAdapter();
            c_.logEvent(2, QStringLiteral("Open Failed  ") + (c_.AdapterObj.isOpen() ? "True" : "False"));
        } catch (const AutomationError&) {
        }
        disablebtns();
        clearFields();
        StatusLbl_->setText(QStringLiteral("Open Failed on adapter ") + trimmed);
        timer.stop();
        return;
    }
    try {
        if (!c_.AdapterObj.isVela()) return;  // open, but the panel stays disabled
        c_.bindVireo();
    } catch (const AutomationError& e) {
        c_.logEvent(2, e.text());
        c_.setError(prefix + QStringLiteral(" - VIREO INTERFACE FAILURE"));
        c_.waitSecs(2);
        timer.stop();
        return;
    }
    BBPTypeTxt_->setText(bbpModelName(c_.BbpTypeHex));
    enablebtns();
    try {
        c_.SetObjects();
        c_.MacBytes = c_.RidMacAddr.ridAsByteArray();
        parseMacAddr();
        modeFrm_->setEnabled(true);
        RateFrm_->setEnabled(true);
        c_.SerialNo = c_.getSerial().trimmed();
    } catch (const AutomationError& e) {
        c_.logEvent(2, e.text());
        // What could not be had shows nothing: no MAC address of an earlier adapter, no serial.
        if (!c_.RidMacAddr) MacTxt_->setPlaceholderText(QStringLiteral("not available"));
        c_.setError(prefix + QStringLiteral(" Open Rids failure - RID Argument Error"));
        c_.waitSecs(2);
        timer.stop();
        return;
    }
    applyRefreshCheck();
    timer.setInterval(250);
    try {
        c_.resumePort();
    } catch (const AutomationError& e) {
        c_.logEvent(2, e.text());
    }
}

void MainFrm::parseMacAddr() {
    c_.logEvent(3, QStringLiteral("parseMacAddr()"));
    MacTxt_->setText(c_.macText());
}

void MainFrm::CloseAdaptCmd_Click() {
    c_.logEvent(1, QStringLiteral("EVENT CloseAdaptCmd_Click()"));
    c_.refreshTimer().stop();
    CloseAdaptCmd_->setEnabled(false);
    stopAdapterTest();  // a closed adapter is left with its radio quiet
    closeAdapterWindows();
    clearFields();
    disablebtns();
    listAdapters();
    StatusLbl_->clear();
    if (!c_.AdapterKey.isEmpty()) {
        try {
            c_.fetchAdapter();
            c_.AdapterObj.close();
        } catch (const AutomationError& e) {
            c_.setError(e.text());
        }
    }
    forgetAdapter();
}

void MainFrm::stopAdapterTest() {
    c_.logEvent(3, QStringLiteral("stopAdapterTest()"));
    if (c_.VireoObj) {
        try {
            if (!c_.VireoObj.stopTest()) c_.setError(QStringLiteral("Adapter %1 did not stop its test").arg(c_.AdapterKey));
        } catch (const AutomationError& e) {
            c_.logEvent(2, QStringLiteral("StopTest error: ") + e.text());
            c_.setError(e.text());
        }
    }
    c_.TxRunning = false;
    txRequest_ = false;
    for (QPushButton* b : {pbodBtn_, MonitorBtn_, TxSupBtn_, ContRxBtn_, ContTxBtn_}) setBackground(b, colours_.buttonFace);
    setChannelTicked(selectedChannel_, false);
}

void MainFrm::closeAdapterWindows() {
    for (const QPointer<QWidget>& w : adapterWindows_)
        if (w) w->close();
    adapterWindows_.clear();
}

void MainFrm::forgetAdapter() {
    c_.releaseAdapterObjects();
    c_.MacBytes.clear();
    c_.SerialNo.clear();
    c_.BbpTypeHex.clear();
    MacTxt_->setPlaceholderText({});
    // The panel's choices belonged to that adapter.
    if (QRadioButton* o = channelOption(selectedChannel_)) setBackground(o, colours_.buttonFace);
    if (QRadioButton* o = channelOption(polledChannel_)) setTextColour(o, colours_.normalText);
    setChannelTicked(selectedChannel_, false);
    selectedChannel_ = clickedChannel_ = rateChoice_ = portChoice_ = 0;
    channelRequest_ = rateRequest_ = modeRequest_ = txRequest_ = requestRefused_ = false;
    contRxOn_ = pbodOn_ = txSupOn_ = monitorOn_ = false;
    polledChannel_ = 0;
    poll_ = {};
}

void MainFrm::tmrdisablechk_Click() {
    c_.logEvent(1, QStringLiteral("EVENT: tmrdisablechk_Click()"));
    applyRefreshCheck();
}

void MainFrm::applyRefreshCheck() {
    if (tmrdisablechk_->isChecked()) c_.refreshTimer().stop();
    else c_.refreshTimer().start();
}

// ---- Panel state ------------------------------------------------------------------------------

void MainFrm::enablebtns() {
    c_.logEvent(3, QStringLiteral("enablebtns()"));
    for (auto& [i, o] : RadioOpt_) o->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{PatternTxt_, IssueCmdBtn_, pbodBtn_, BBPBtn_, TxSupBtn_, SoftBootBtn_,
                                                      ContTxBtn_, ContRxBtn_, ResetBtn_, InitBtn_, SleepBtn_, WakeBtn_,
                                                      RIDBtn_, TestCmd_, MonitorBtn_, portTypeCbo_, CloseAdaptCmd_})
        w->setEnabled(true);
    viewTallies_->setEnabled(true);
    sweepResults_->setEnabled(true);
}

void MainFrm::disablebtns() {
    c_.logEvent(3, QStringLiteral("disablebtns()"));
    for (auto& [i, o] : RadioOpt_) o->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{PatternTxt_, IssueCmdBtn_, pbodBtn_, BBPBtn_, TxSupBtn_, SoftBootBtn_,
                                                      ContTxBtn_, ContRxBtn_, ResetBtn_, InitBtn_, SleepBtn_, WakeBtn_,
                                                      RIDBtn_, TestCmd_, MonitorBtn_, portTypeCbo_, RateFrm_, modeFrm_})
        w->setEnabled(false);
    viewTallies_->setEnabled(false);
    sweepResults_->setEnabled(false);
}

void MainFrm::clearFields() {
    c_.logEvent(3, QStringLiteral("clearFields()"));
    BBPTypeTxt_->clear();
    MacTxt_->clear();
    SSIDTxt_->clear();
    SignalBar_->setValue(SignalBar_->minimum());
    QualityBar_->setValue(QualityBar_->minimum());
}

void MainFrm::setBackground(QWidget* w, const QColor& colour) {
    if (auto* o = qobject_cast<QRadioButton*>(w)) {
        o->setProperty("optionBackground", colour == colours_.buttonFace ? QColor() : colour);
        applyChannelOptionStyle(o);
        return;
    }
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        // A mode's colour fills the button flat, the table's colour exactly (the style would shade
        // a palette colour into a gradient); the face colour gives the style's own button back.
        b->setStyleSheet(colour == colours_.buttonFace
                             ? QString()
                             : QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2;"
                                              " border-radius: 3px; padding: 4px 8px; }")
                                   .arg(colour.name(), colour.darker(160).name()));
    }
    QPalette p = w->palette();
    p.setColor(qobject_cast<QPushButton*>(w) ? QPalette::Button : QPalette::Base, colour);
    w->setPalette(p);
}

void MainFrm::setTextColour(QWidget* w, const QColor& colour) {
    if (auto* o = qobject_cast<QRadioButton*>(w)) {
        o->setProperty("optionText", colour);
        applyChannelOptionStyle(o);
        return;
    }
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

}  // namespace kestview
