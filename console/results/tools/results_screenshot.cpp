// kestview-results-screenshot FILE.png: the "Results" window over a scratch database of a month
// on a line of three stations, whose channel 11 drifts towards the mask limit, saved for the
// documentation.
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <cmath>
#include <cstdio>

#include "ResultsFrm.h"
#include "framed_picture.h"
#include "results_store.h"

using namespace kestview::results;

namespace {

RunRecord run(int n) {
    RunRecord r;
    r.runId = QUuid::createUuidV5(QUuid(), QByteArray::number(n)).toString(QUuid::WithoutBraces);
    r.station = QStringLiteral("line-st%1").arg(n % 3 + 1);
    r.operatorName = QStringLiteral("tester");
    r.softwareVersion = QStringLiteral("2.0.0");
    r.adapterKey = QStringLiteral("0003");
    r.macAddress = QStringLiteral("00-60-1D-C3-%1-%2").arg(n / 256, 2, 16, QChar('0')).arg(n % 256, 2, 16, QChar('0')).toUpper();
    r.serialNumber = QStringLiteral("SN%1").arg(4000 + n);
    r.baseband = QStringLiteral("Cedar");
    const QDateTime start(QDate(2026, 11, 2 + n / 4), QTime(8 + 2 * (n % 4), 10));
    r.started = start.toString(Qt::ISODate);
    r.ended = start.addSecs(512).toString(Qt::ISODate);
    r.startedUtc = r.started;
    r.runDay = start.date().toString(Qt::ISODate);
    r.maskOffsetDb = 28;
    r.testSeconds = 512;
    const double drift = 0.02 * n;  // the line's channel 11 creeps up run by run
    bool failed = false;
    for (int i = 1; i <= 30; ++i) {
        const int ch = i <= 14 ? i : i == 15 ? 1 : i == 16 ? 13 : i - 16;
        RunRow x;
        x.row = i;
        x.channel = ch;
        x.tag = (i <= 14 ? QStringLiteral("US    Ch%1") : i <= 16 ? QStringLiteral("ETSI Ch%1") : QStringLiteral("JPN   Ch%1"))
                    .arg(ch, 2, 10, QChar('0'));
        const double wobble = 0.25 * std::sin(n * 1.7 + i);
        x.firstLobeDbc = -28.55 + wobble + (ch == 11 ? drift * (i > 16 ? 0.8 : 1.0) : 0);
        x.integrator = 64 + ch + int(std::lround(ch == 11 ? drift * 4 : 0)) + (i > 16 ? 6 : 0);
        x.setPoint = 100 + ch;
        x.outputPowerDbm = 14.5 + 0.05 * ch;
        x.secondLobeDbc = -41.5;
        x.limitDbc = -28.0;
        x.withinMask = x.firstLobeDbc <= -28.0;
        x.passed = x.withinMask;
        failed = failed || !*x.withinMask;
        r.rows.push_back(x);
    }
    r.result = failed ? QStringLiteral("fail") : QStringLiteral("pass");
    if (failed) r.failureReason = QStringLiteral("first sidelobe above the mask on channel 11");
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestview-results-screenshot FILE.png\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString url = "sqlite:" + dir.path() + "/line.db";
    QString error;
    {
        const auto store = ResultsStore::open(*parseDbTarget(url, error), error);
        std::vector<RunRecord> runs;
        for (int n = 0; n < 40; ++n) runs.push_back(run(n));
        if (!store || !store->store(runs, error)) {
            std::fprintf(stderr, "kestview-results-screenshot: %s\n", qPrintable(error));
            return 1;
        }
    }
    int status = 0;
    auto* window = new ResultsFrm(url);  // deletes itself when closed
    window->findChild<QComboBox*>(QStringLiteral("ChannelCbo"))->setCurrentIndex(10);
    window->show();
    QTimer::singleShot(500, [&] {
        if (!kestview::saveFramedPicture(*window, QString::fromLocal8Bit(argv[1]))) status = 1;
        window->close();
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
