// Records saved in groups by a run: a run stopped by SIGTERM still stores every domain it
// finished.
#include <QProcess>
#include <QtTest>

#include "clirunner.h"
#include "core/localfile.h"
#include "core/services.h"
#include "history/historyfile.h"
#include "vocab/text.h"

using namespace zorvan;
using zorvan::S;

class SaveGroupsTest : public QObject, public test::CliFixture {
    Q_OBJECT

  private Q_SLOTS:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    // The last domain answers slowly: the others are printed, their group not yet due, when the
    // run is told to stop.
    void sigtermKeepsEveryFinishedDomain() {
#ifdef Q_OS_WIN
        QSKIP("QProcess cannot send a console program Ctrl+C, the Windows counterpart of SIGTERM");
#endif
        QStringList domains;
        for (int d = 0; d < 5; ++d) domains.append(S("term%1.test").arg(d));
        fx->services.setTargetLatency(domains.last().toUtf8(), 1000);
        QVERIFY(test::writeFile(
            configFilePath(), encodeAnsi(S("[section]\r\nurl=") + domains.join(u',') + S("\r\n"))));
        QProcess* run = command({S("batch"), S("--save"), S("--jobs"), S("5"), S("--host-interval"),
                                 S("0"), S("--format"), S("csv")});
        QByteArray out;
        connect(run, &QProcess::readyReadStandardOutput, this,
                [&] { out += run->readAllStandardOutput(); });
        run->start();
        // The header line, then a row for every domain before the slow one.
        QVERIFY(test::waitFor([&] { return out.count('\n') >= domains.size(); }, 60000));
        run->terminate();
        QVERIFY(run->waitForFinished(60000));
        QCOMPARE(run->exitStatus(), QProcess::CrashExit);
        const QByteArray saved = test::fileBytes(historyFilePath());
        for (const QString& domain : domains.first(domains.size() - 1))
            QCOMPARE(historyRecords(saved, domain).size(), 1);
        QVERIFY(historyRecords(saved, domains.last()).isEmpty());
        delete run;
    }
};

QTEST_MAIN(SaveGroupsTest)
#include "qtest_savegroups.moc"
