// The fixture of console tests: an offscreen Qt application, a scratch simulated bench with the
// component registered (see direzo::testing::ComponentTest), and a Console on it whose dialogs the
// test answers and whose clock runs fast.
//
//   class MyWindowTest : public kestview::testing::OpenedAdapterTest {};
//   TEST_F(MyWindowTest, ...) { MyWindow w(console()); ... dialogs().messages() ... }
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "component_fixture.h"
#include "console.h"
#include "scripted_dialogs.h"

// Readable QStrings in test failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace kestview::testing {

// The one QApplication of the test process (QT_QPA_PLATFORM=offscreen unless set).
void ensureApplication();

// The key of the default bench's Birch B adapter, which the fixtures open.
inline const QString kBirchBKey = QStringLiteral("0002");

class ConsoleTest : public direzo::testing::ComponentTest {
protected:
    // The default bench, or the given bench text. The Console's clock runs timeScale times fast.
    explicit ConsoleTest(std::optional<std::string> benchJson = std::nullopt, double timeScale = 1000);
    ~ConsoleTest() override;

    Console& console() { return *console_; }
    ScriptedDialogs& dialogs() { return dialogs_; }
    // Trace lines the Console wrote, as "<level> <text>".
    const std::vector<QString>& traceLines() const { return trace_; }

    // A local Adapters collection in AdaptersObj.
    void createAdapters();
    // Opens the adapter with this key as the main window's open does (Item, Open, Vireo,
    // BBPRegs, the records, MAC and serial), without a window. Fails the test when it cannot.
    void openAdapter(const QString& key = kBirchBKey);

private:
    ScriptedDialogs dialogs_;
    std::vector<QString> trace_;
    std::unique_ptr<Console> console_;
};

// A Console with the default bench's Birch B adapter open.
class OpenedAdapterTest : public ConsoleTest {
protected:
    OpenedAdapterTest() { openAdapter(); }
};

}  // namespace kestview::testing
