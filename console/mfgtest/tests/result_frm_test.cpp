// The results window on the default bench's Birch B adapter: the report, the listing written on
// load (and the question before it overwrites another adapter's), the PDF print, and storing the
// rows in the adapter's production data area.
#include "ResultFrm.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "console_fixture.h"
#include "firmware_objects.h"
#include "mfg_listing.h"
#include "test_rows.h"
#include "vireo_object.h"

namespace kestview::mfgtest {
namespace {

class ResultFrmTest : public kestview::testing::OpenedAdapterTest {
protected:
    ResultFrmTest() {
        qputenv("XDG_DATA_HOME", dataHome_.path().toUtf8());
        previous_ = QDir::currentPath();
        QDir::setCurrent(workDir_.path());
        run_.rows = mfgtest::testing::sampleRows();
        run_.rows[33]->integrator = -20;
        run_.testSeconds = 532.25;
        run_.completed = run_.passed = true;
    }
    ~ResultFrmTest() override { QDir::setCurrent(previous_); }

    std::map<int, QByteArray> adapterRecords() {
        PDA pda = console().VireoObj.pda();
        EXPECT_TRUE(pda.retrieve());
        std::map<int, QByteArray> out;
        for (const PDR& r : pda.all()) {
            QByteArray bytes;
            for (auto b : r.pdr()) bytes += char(b);
            out[r.code()] = bytes;
        }
        return out;
    }

    QTemporaryDir dataHome_, workDir_;
    QString previous_;
    MaskTestRun run_;
};

TEST_F(ResultFrmTest, ReportAndListingOnLoad) {
    ResultFrm w(console(), run_);
    EXPECT_EQ(w.windowTitle(), "TEST RESULTS");
    auto* outcome = w.findChild<QLabel*>("OutcomeLbl");
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->text().startsWith("PASSED")) << outcome->text().toStdString();
    auto* list = w.findChild<QListWidget*>("List1");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 42);
    EXPECT_EQ(list->item(40)->text(), "---- Test Time = 532.25 ----");
    EXPECT_TRUE(list->item(1)->text().startsWith("Mac Address " + console().macText()));
    // Named and headed by the MAC address as the main window shows it.
    EXPECT_EQ(console().macText(), "00-60-1D-B2-00-02");
    EXPECT_EQ(w.listingPath(), QDir(workDir_.path()).filePath("S-00-02.pda"));
    QFile listing(w.listingPath());
    ASSERT_TRUE(listing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(listing.readAll().contains("\r\nMAC ADDRESS 00-60-1D-B2-00-02\r\n"));
    // The listing loads through the component with the rows in records 0900 and 0901.
    PDA pda = console().VireoObj.pda();
    ASSERT_TRUE(pda.loadPDAFile(w.listingPath()));
    const auto sp = pda.item("0900").pdr();
    const auto in = pda.item("0901").pdr();
    ASSERT_EQ(sp.size(), 60u);  // data bytes, low byte first
    ASSERT_EQ(in.size(), 66u);
    for (int i = 1; i <= 30; ++i) EXPECT_EQ(sp[2 * (i - 1)], run_.rows[i]->setPoint & 0xFF);
    EXPECT_EQ(in[64], 0xEC);
    EXPECT_EQ(in[65], 0);
}

TEST_F(ResultFrmTest, AnotherAdaptersListingIsNotOverwrittenUnasked) {
    const QString path = QDir(workDir_.path()).filePath("S-00-02.pda");
    {
        QFile other(path);
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("MARAVENT NIC ADAPTER X\r\nMAC ADDRESS 00-60-1D-99-00-02\r\n");
    }
    const QString elsewhere = QDir(workDir_.path()).filePath("S-B2-00-02.pda");
    dialogs().answer(Dialogs::Answer::No);
    dialogs().chooseFile(elsewhere);
    ResultFrm w(console(), run_);
    ASSERT_FALSE(dialogs().messages().empty());
    EXPECT_EQ(dialogs().messages()[0].title, "LISTING EXISTS");
    EXPECT_EQ(w.listingPath(), elsewhere);
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll().contains("00-60-1D-99-00-02"));
    // A re-test of the same adapter overwrites without asking.
    dialogs().clear();
    console().MacBytes = QByteArray::fromHex("6000991d0200");  // shown as 00-60-1D-99-00-02
    ResultFrm again(console(), run_);
    EXPECT_TRUE(dialogs().messages().empty());
    EXPECT_EQ(again.listingPath(), path);
}

TEST_F(ResultFrmTest, PrintWithoutAPrinterWritesAPdfAndSaysWhere) {
    ResultFrm w(console(), run_);
    w.printReport();
    ASSERT_EQ(dialogs().messages().size(), 1u);
    const QString text = dialogs().messages()[0].text;
    const QString path = text.mid(text.indexOf(dataHome_.path()));
    ASSERT_TRUE(text.startsWith("No printer is installed: the report was printed to ")) << text.toStdString();
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_GT(pdf.size(), 2000);
}

TEST_F(ResultFrmTest, FlashStoresTheRowsAndKeepsEveryOtherRecord) {
    auto before = adapterRecords();
    ResultFrm w(console(), run_);
    dialogs().chooseFile("");                 // no station image
    dialogs().answer(Dialogs::Answer::No);    // not confirmed: nothing is written
    w.flashTestResults();
    EXPECT_FALSE(w.storeAttempted());
    EXPECT_EQ(adapterRecords(), before);

    dialogs().chooseFile("");
    dialogs().answer(Dialogs::Answer::Yes);
    w.flashTestResults();
    ASSERT_TRUE(w.storeOutcome().pdaStored) << w.storeOutcome().failure;
    auto after = adapterRecords();
    for (int code : {0x0900, 0x0901}) {
        before.erase(code);
        ASSERT_TRUE(after.count(code));
    }
    const auto sp = after[0x0900];
    ASSERT_EQ(sp.size(), 60);
    EXPECT_EQ(quint8(sp[0]), run_.rows[1]->setPoint & 0xFF);
    EXPECT_EQ(quint8(sp[58]), run_.rows[30]->setPoint & 0xFF);
    after.erase(0x0900);
    after.erase(0x0901);
    before.erase(0);
    after.erase(0);  // the end record's CRC changes with the contents
    EXPECT_EQ(after, before);
    EXPECT_EQ(dialogs().messages().back().title, "FLASH TEST RESULTS");
}

}  // namespace
}  // namespace kestview::mfgtest

namespace kestview::mfgtest {
namespace {

// A failed run: the window says so, with the reason, above everything it offers, and "Flash Test
// Results" refuses without asking anything or touching the adapter.
TEST_F(ResultFrmTest, AFailedRunShowsItsReasonAndIsNotStored) {
    run_.passed = false;
    run_.failure = "First sidelobe above the mask limit in rows 2, 18";
    const auto before = adapterRecords();
    ResultFrm w(console(), run_);
    auto* outcome = w.findChild<QLabel*>("OutcomeLbl");
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->text(), "FAILED: First sidelobe above the mask limit in rows 2, 18");
    dialogs().clear();
    dialogs().answer(Dialogs::Answer::Yes);  // would confirm, if it were asked
    w.flashTestResults();
    ASSERT_EQ(dialogs().messages().size(), 1u);
    EXPECT_EQ(dialogs().messages()[0].text,
              "The test failed, so nothing is stored in the adapter: First sidelobe above the mask limit in rows 2, 18");
    EXPECT_TRUE(w.storeAttempted());
    EXPECT_FALSE(w.storeOutcome().pdaStored);
    EXPECT_EQ(adapterRecords(), before);
}

}  // namespace
}  // namespace kestview::mfgtest
