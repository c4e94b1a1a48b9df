// Console: the console-wide state every kestview window shares (the component references, the
// open adapter's identity, the test-mode flags, the instrument and manufacturing-test state) and
// the helpers they all use (status bar, waits on the console clock, range test, transmit restart,
// port suspension around record writes, trace). One instance lives as long as the main window;
// windows receive it and keep no globals of their own.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <array>
#include <memory>

#include "automation_error.h"
#include "component_activation.h"
#include "component_objects.h"
#include "console_clock.h"
#include "dialogs.h"
#include "test_data.h"
#include "trace.h"

#include <QWidget>

namespace kestview {

// The records the console keeps open, with the identifiers it fetches them by. Their
// descriptions (the records' Name) come from nameRid.
inline constexpr const char* kChannelRid = "fdc1";
inline constexpr const char* kTxRateRid = "fc84";
inline constexpr const char* kPortTypeRid = "fc00";
inline constexpr const char* kSsidRid = "fc02";
inline constexpr const char* kMacAddrRid = "fc01";
inline constexpr const char* kCommsQualityRid = "fd43";
inline constexpr const char* kSerialRid = "fd0a";
// The description of one of those records ("Configured SSID" for kSsidRid).
QString polledRidDescription(const char* id);

// The text of `BBPRegs.BBPType`: upper-case hexadecimal without leading zeros ("3", "13", "30").
QString bbpTypeHexText(qint32 bbpType);
// The model shown for a BbpTypeHex: "Alder", "BirchA", "BirchB", "BirchS", "Cedar" or "Unknown".
QString bbpModelName(const QString& bbpTypeHex);
// The MAC address text of record FC01's bytes: bytes 1 0 3 2 5 4, two upper-case hexadecimal
// digits each, joined by "-". Missing bytes count as 0.
QString macAddressText(const QByteArray& macBytes);
// The serial number text of record FD0A's bytes: per byte pair (i, i+1) a blank and byte i+1,
// then a blank and byte i; a byte of 29 or less gives only its blank. Not trimmed.
QString serialNumberText(const QByteArray& serialBytes);
// The transmit pattern of the pattern field: its text read as hexadecimal (0 when empty).
qint32 patternValue(const QString& text);

class Console : public QObject {
    Q_OBJECT

public:
    explicit Console(QObject* parent = nullptr);
    ~Console() override;

    // ---- Component references --------------------------------------------------------------
    RemoteProvider RemoteObj;  // held while the collection comes from a remote host
    Adapters AdaptersObj;
    Adapter AdapterObj;        // the adapter last fetched by AdapterKey
    Vireo VireoObj;
    BBPRegs BbpRegsObj;
    Rids RidsObj;
    Rid RidChannel, RidTxRate, RidPortType, RidSsid, RidMacAddr, RidCommsQuality, RidSerial;
    BBPReg CurrentReg;  // the register any register editor selected last

    // ---- The open adapter ------------------------------------------------------------------
    QString AdapterKey;  // the selected list line up to its first blank
    QString BbpTypeHex;
    QByteArray MacBytes;
    QString SerialNo;
    QString macText() const { return macAddressText(MacBytes); }

    // ---- Test modes, instruments, register editors, manufacturing test ---------------------
    bool TxRunning = false;
    qint32 TxPattern = 0;
    bool PowerMeterOk = false;
    bool AnalyzerOk = false;
    QString ConfigFolder;
    bool TestingFlag = false;
    double MaskOffset = 0;
    TestRows TestData;  // rows 1 to 33 of the last completed test; element 0 is not used
    QString FlashImageFile;  // the station image "Flash Test Results" downloads, once chosen

    // ---- Shared helpers --------------------------------------------------------------------
    // Shows the warning picture and the message in the main window's status bar.
    void setError(const QString& errMsg);
    // Hides the picture and empties the message.
    void clrstatusbar();
    bool errorShown() const { return errorShown_; }
    const QString& errorText() const { return errorText_; }

    // Returns after n seconds of the console clock, processing window events meanwhile; safe
    // across midnight.
    void waitSecs(float n);
    // iLow <= value <= iHigh.
    bool between(qint32 value, qint32 low, qint32 high);
    // StopTest, then ContinuousTx with TxPattern (after a register write while transmitting).
    void restartTX();
    // AdapterObj = AdaptersObj.Item(AdapterKey), then port 0 disabled / enabled.
    void suspendPort();
    void resumePort();
    void logEvent(int level, const QString& text);

    // ---- Opening an adapter: the component's part, in the order the main window runs it -------
    // AdapterObj = AdaptersObj.Item(AdapterKey).
    void fetchAdapter();
    // VireoObj, BbpRegsObj and BbpTypeHex of the open AdapterObj.
    void bindVireo();
    // RidsObj and the six polled records, each named with its description. Traps its own errors:
    // a record the adapter does not have is left unset, the others are still fetched; then
    // "Error Creating Rid Object " and the first missing identifier in the status bar, a 2 s wait,
    // and false.
    bool SetObjects();
    // RidSerial fetched (and named) and its bytes as serial number text (see serialNumberText).
    QString getSerial();
    // Drops every reference to the open adapter's objects (the collection stays).
    void releaseAdapterObjects();
    // Drops everything, the collection and the remote provider included.
    void releaseAll();

    // ---- Collaborators ---------------------------------------------------------------------
    ConsoleClock& clock() { return clock_; }
    Trace& trace() { return trace_; }
    Dialogs& dialogs() { return dialogs_ ? *dialogs_ : qtDialogs_; }
    // Replaces the dialogs (tests); nullptr restores the real ones. The caller keeps ownership.
    void setDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
    // The status refresh timer (RefreshTmr), owned here so any window can pause it.
    QTimer& refreshTimer() { return refreshTmr_; }
    // The main window: owner of the windows opened from it.
    QWidget* mainWindow() const { return mainWindow_; }
    void setMainWindow(QWidget* w) { mainWindow_ = w; }

signals:
    // The status bar's state changed (setError or clrstatusbar).
    void errorStatusChanged(bool shown, const QString& text);
    // A window is about to reset the card (CardReset): the main window stops the test and rests
    // its test buttons, as its own Soft Boot does.
    void cardResetRequested();

private:
    ConsoleClock clock_;
    Trace trace_;
    QtDialogs qtDialogs_;
    Dialogs* dialogs_ = nullptr;
    QTimer refreshTmr_;
    QPointer<QWidget> mainWindow_;
    bool errorShown_ = false;
    QString errorText_;
};

}  // namespace kestview
