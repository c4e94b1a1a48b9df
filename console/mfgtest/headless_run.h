// kestview --mfgtest: the spectral-mask test without windows, for automation. One line per
// recorded row as the test goes; exit status 0 when the test passed (and every output asked for
// was written), 1 when it failed, 2 when it could not be set up (instruments, adapter, options).
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <optional>
#include <ostream>

#include "console.h"
#include "test_equipment.h"

namespace kestview::mfgtest {

inline constexpr int kExitPassed = 0, kExitFailed = 1, kExitSetUp = 2;

struct HeadlessOptions {
    QString adapterKey;
    QString offsetText;  // the mask offset field's text; empty: the default offset
    QString reportPdf, jsonFile, imageFile;
    QString listingFolder;  // where the PDA listing goes; empty: the working folder
    bool store = false;
};

// Adds --mfgtest and its options to the program's parser.
void addHeadlessOptions(QCommandLineParser& parser);
bool headlessRequested(const QCommandLineParser& parser);
// The options of a parsed command line; nullopt with `error` set when they do not fit together.
std::optional<HeadlessOptions> headlessOptions(const QCommandLineParser& parser, QString& error);

// Opens the adapter with this key as the main window does (a local collection when the console
// has none) and checks that it has a baseband the test is for; false with the reason in `why`.
bool openAdapterForTest(Console& console, const QString& key, std::string& why);

// Initialises the instruments, opens the adapter and runs the test; returns the exit status.
int runHeadless(Console& console, instruments::TestEquipment& equipment, const HeadlessOptions& options,
                std::ostream& out, std::ostream& err);

}  // namespace kestview::mfgtest
