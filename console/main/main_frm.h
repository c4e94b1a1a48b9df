// MainFrm: kestview's main window. Adapter selection (local or remote component), the control
// panel whose change requests the refresh tick serves, and the status refresh of the open
// adapter's channel, rate, port type, SSID, quality and signal.
#pragma once

#include <QMainWindow>
#include <functional>
#include <QPointer>
#include <map>
#include <vector>

#include "console.h"
#include "hook_mod.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace kestview {

// The colour table.
struct ColourTable {
    QColor neutral{80, 80, 80};
    QColor txOn{255, 0, 0};
    QColor modeOn{0, 0, 255};
    QColor channelReported{0, 255, 0};
    QColor normalText{0, 0, 0};
    QColor channelChosen{255, 255, 128};
    QColor buttonFace;             // the system's button face
    QColor busy{255, 255, 192};    // remote or busy fields
    QColor white{255, 255, 255};
};

// Opens (or raises) a window that works on the open adapter and returns it.
using WindowOpener = std::function<QWidget*(Console&)>;

// What the main window opens; each window's library sets its entry.
struct WindowOpeners {
    WindowOpener recordBrowser, commandWindow, tallies, sweepResults, alderEditor, birchEditor;
    std::function<void(Console&)> mfgTest;
    WindowOpener results;  // the results database's runs, yield and charts
    // Initialises the bench instruments (sets PowerMeterOk and AnalyzerOk).
    std::function<void(Console&)> initTestEquip;
};

class MainFrm : public QMainWindow {
    Q_OBJECT

public:
    explicit MainFrm(Console& console, WindowOpeners openers = {}, QWidget* parent = nullptr);
    ~MainFrm() override;

    // The window's procedures, public so that tests drive them as the timer and buttons do.
    void RefreshTmr_Timer();
    void listAdapters();
    void listAdaptersAll();
    void enablebtns();
    void disablebtns();
    void clearFields();
    void ClearTestBtns();
    void parseMacAddr();
    // A rate option click (the index is the value written to FC84).
    void RateOpt_Click(int index);

    static QString captionText();

private:
    void buildWindow();
    QWidget* buildSelection();
    QWidget* buildIdentity();
    QWidget* buildPanel();
    QWidget* buildChannels();
    QWidget* buildStatus();
    void connectControls();
    void orderTabs();
    void Initial();
    void Form_Load();

    void optServer_Click(int index);
    void optAdapters_Click(int index);
    void AdapterLst_Click();
    void CloseAdaptCmd_Click();
    void CloseBtn_Click();
    void tmrdisablechk_Click();
    void applyRefreshCheck();

    // Control panel.
    void RadioOpt_Click(int index);
    void portTypeCbo_Click();
    void ContTxBtn_Click();
    void toggleMode(QPushButton* button, bool& flag, const QString& name, bool (Vireo::*mode)() const);
    void physicalLayer(const QString& name, bool (Vireo::*call)() const, bool resume);
    void SoftBootBtn_Click();
    void BBPBtn_Click();
    void TestCmd_Click();
    void openWindow(const QString& handler, const WindowOpener& opener);
    // Stops the test mode of the open adapter (the adapter that runs it) and returns the test
    // buttons and TxRunning to rest. Failures are traced and shown; the caller carries on.
    void stopAdapterTest();
    // Closes the windows that work on the open adapter's objects.
    void closeAdapterWindows();
    // Forgets the open adapter: its objects, its identity and the panel's choices and requests.
    void forgetAdapter();
    // What closing the window or ending the program does once: stop the test, release everything.
    void endSession();
    void PatternTxt_LostFocus();
    void SSIDTxt_GotFocus();
    void SSIDTxt_LostFocus();
    // Runs an immediate component call; a failure or a command not done goes to the status bar.
    void immediate(const QString& what, const std::function<bool()>& call);

    // Tick-side request procedures, each served through serveRequest: an automation error shows
    // `errorText` and leaves the request set for the next tick; a step the adapter did not carry out
    // shows it too, clears the request and runs `onRefused`.
    void serveRequest(const QString& name, const QString& errorText, bool waitAfterError, bool& request,
                      const std::function<void()>& procedure, const std::function<void()>& onRefused = {});
    void contTX();
    void channelChange();
    void rateChange();
    void modeChange();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    void setBackground(QWidget* w, const QColor& c);
    void setTextColour(QWidget* w, const QColor& c);
    QRadioButton* channelOption(int channel) const;
    void setChannelTicked(int channel, bool ticked);
    static void setBarValue(QProgressBar* bar, int value);

    Console& c_;
    WindowOpeners openers_;
    ColourTable colours_;
    HookMod hook_;

    // Controls.
    std::map<int, QRadioButton*> optServer_, optAdapters_, RadioOpt_, RateOpt_;
    QLineEdit *txtServer_ = nullptr, *BBPTypeTxt_ = nullptr, *MacTxt_ = nullptr, *SSIDTxt_ = nullptr,
              *PatternTxt_ = nullptr;
    QListWidget* AdapterLst_ = nullptr;
    QPushButton *CloseAdaptCmd_ = nullptr, *CloseBtn_ = nullptr;
    QPushButton *IssueCmdBtn_ = nullptr, *pbodBtn_ = nullptr, *BBPBtn_ = nullptr, *TxSupBtn_ = nullptr,
                *SoftBootBtn_ = nullptr, *ContTxBtn_ = nullptr, *ContRxBtn_ = nullptr, *ResetBtn_ = nullptr,
                *InitBtn_ = nullptr, *SleepBtn_ = nullptr, *WakeBtn_ = nullptr, *RIDBtn_ = nullptr,
                *TestCmd_ = nullptr, *MonitorBtn_ = nullptr;
    QLabel *StatusLbl_ = nullptr, *errorPicture_ = nullptr, *errorMessage_ = nullptr;
    QGroupBox *RateFrm_ = nullptr, *modeFrm_ = nullptr;
    QComboBox* portTypeCbo_ = nullptr;
    QCheckBox* tmrdisablechk_ = nullptr;
    QProgressBar *SignalBar_ = nullptr, *QualityBar_ = nullptr;
    QAction *viewTallies_ = nullptr, *sweepResults_ = nullptr, *results_ = nullptr;

    // Panel state.
    int selectedChannel_ = 0;
    int clickedChannel_ = 0;
    int rateChoice_ = 0;
    int portChoice_ = 0;
    bool channelRequest_ = false, rateRequest_ = false, modeRequest_ = false, txRequest_ = false;
    bool contRxOn_ = false, pbodOn_ = false, txSupOn_ = false, monitorOn_ = false;

    // Status poll.
    struct StatusPoll {
        int port = 0;
        int rate = 0;
        int quality = 0;
        int signal = 0;
        int previousChannel = 0;
    } poll_;
    int polledChannel_ = 0;
    bool shutdown_ = false;
    bool ended_ = false;
    bool inTick_ = false;
    bool pollingBeforeSsid_ = false;
    bool requestRefused_ = false;  // the adapter did not carry out the last request served  // the refresh timer ran when the SSID field took the focus
    std::vector<QPointer<QWidget>> adapterWindows_;
};

}  // namespace kestview
