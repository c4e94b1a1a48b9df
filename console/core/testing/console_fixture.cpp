#include "console_fixture.h"

#include <QApplication>

// The font library keeps caches for the life of the process; the leak checker is told so.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace kestview::testing {

void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kestview-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);  // lives as long as the process
    QApplication::setApplicationName(QStringLiteral("kestview"));
    (void)app;
}

ConsoleTest::ConsoleTest(std::optional<std::string> benchJson, double timeScale)
    : direzo::testing::ComponentTest(std::move(benchJson)) {
    ensureApplication();
    console_ = std::make_unique<Console>();
    console_->clock().setTimeScale(timeScale);
    console_->setDialogs(&dialogs_);
    console_->trace().setListener([this](int level, const QString& text) {
        trace_.push_back(QString::number(level) + ' ' + text);
    });
}

ConsoleTest::~ConsoleTest() {
    console_.reset();  // releases every component object before the component is unloaded
}

void ConsoleTest::createAdapters() {
    try {
        console_->AdaptersObj = createLocalAdapters();
    } catch (const AutomationError& e) {
        ADD_FAILURE() << "creating the adapter collection: " << e.what();
    }
}

void ConsoleTest::openAdapter(const QString& key) {
    if (!console_->AdaptersObj) createAdapters();
    Console& c = *console_;
    try {
        c.AdapterKey = key;
        c.fetchAdapter();
        ASSERT_TRUE(c.AdapterObj.open()) << "adapter " << key.toStdString() << " did not open";
        c.bindVireo();
        ASSERT_TRUE(c.SetObjects()) << c.errorText().toStdString();
        c.MacBytes = c.RidMacAddr.ridAsByteArray();
        c.SerialNo = c.getSerial().trimmed();
    } catch (const AutomationError& e) {
        FAIL() << "opening adapter " << key.toStdString() << ": " << e.what();
    }
}

}  // namespace kestview::testing
