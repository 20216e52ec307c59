// zorvan-cli as a user runs it: the same figures and saved bytes as the window, several writers at
// once, and its exit statuses.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <sys/resource.h>

#include "app/mainwindow.h"
#include "engines/queryengine.h"
#include "fakeplatform.h"
#include "fetch/services.h"
#include "history/historyfile.h"
#include "standinfixture.h"

using namespace zorvan;

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakePlatform> fake;
    std::unique_ptr<test::StandinFixture> fx;

    // The command's process, with the fixture's services and the given data folder.
    QProcess* command(const QStringList& arguments, const QString& home) {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZORVAN_HOME"), home);
        env.insert(QStringLiteral("ZORVAN_FETCH_TIMEOUT_MS"), QStringLiteral("1500"));
        env.remove(QStringLiteral("DISPLAY"));
        process->setProcessEnvironment(env);
        process->setProgram(QStringLiteral(ZORVAN_CLI_BINARY));
        process->setArguments(arguments);
        return process;
    }
    Run finish(QProcess* process) {
        Run run;
        if (process->state() == QProcess::NotRunning) process->start();
        if (!process->waitForFinished(60000) || process->exitStatus() != QProcess::NormalExit) return run;
        run.status = process->exitCode();
        run.out = process->readAllStandardOutput();
        run.err = process->readAllStandardError();
        delete process;
        return run;
    }
    Run cli(const QStringList& arguments, const QString& home) { return finish(command(arguments, home)); }

private Q_SLOTS:
    void init() {
        fake = std::make_unique<test::FakePlatform>();
        fx = std::make_unique<test::StandinFixture>(1500);
        QVERIFY(fx->services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes")) > 0);
    }
    void cleanup() {
        fx.reset();
        fake.reset();
    }

    void sameFiguresAndSavedBytesAsTheWindow() {
        MainWindow window(nullptr, std::nullopt);
        window.domainBox()->setEditText(S("sample.net"));
        window.queryButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.queryButton()->isEnabled() && window.query()->isFinished(), 20000);
        const QByteArray windowSaved = fileBytes(historyFilePath());
        QVERIFY(!windowSaved.isEmpty());

        QTemporaryDir other;
        const Run run = cli({S("query"), S("sample.net"), S("--save"), S("--format"), S("json")}, other.path());
        QCOMPARE(run.status, 0);
        QCOMPARE(fileBytes(other.filePath(S("history.txt"))), windowSaved);

        const QJsonObject json = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(json.value(S("domain")).toString(), S("sample.net"));
        for (const FigureInfo& f : figureTable()) {
            const QStringList path = f.key.split(u'.');
            const QJsonValue value =
                path.size() == 2 ? json.value(path[0]).toObject().value(path[1]) : json.value(path[0]);
            QCOMPARE(value.toString(), window.figure(f.figure));
        }
        // Saved again the same day: the record is replaced, not added.
        QCOMPARE(cli({S("query"), S("sample.net"), S("--save")}, other.path()).status, 0);
        QCOMPARE(readStoredRecords(other.filePath(S("history.txt")), S("sample.net"))->size(), 1);
    }

    void severalWritersAtOnceLoseNoRecord() {
        // Four commands saving fifteen domains each, so that their saves overlap.
        QList<QProcess*> writers;
        for (int w = 0; w < 4; ++w) {
            QStringList arguments = {S("query"), S("--save"), S("--format"), S("csv")};
            for (int d = 0; d < 15; ++d) arguments.append(S("w%1-d%2.test").arg(w).arg(d));
            writers.append(command(arguments, fx->home.path()));
            writers.last()->start();
        }
        for (QProcess* writer : writers) QCOMPARE(finish(writer).status, 0);
        const QStringList domains = historyDomains(fileBytes(historyFilePath()));
        QCOMPARE(domains.size(), 60);
        for (const QString& domain : domains)
            QCOMPARE(readStoredRecords(historyFilePath(), domain)->size(), 1);
    }

    // Each save of a file this large holds the lock a while: waiters must wait as long as writers go on.
    void manyWritersOnALargeHistoryAllLand() {
        QByteArray large;
        const QByteArray day = "=1234567/890123|234567/8901|34567/890|4567/89|567/8|67890/12345|7890/123|45678\r\n";
        for (int d = 0; large.size() < 17'800'000; ++d) {
            large += "[old" + QByteArray::number(d) + ".test]\r\n";
            for (int n = 0; n < 365; ++n) large += "2009-" + QByteArray::number(n) + day;
        }
        QFile file(historyFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(large) == large.size() && file.flush());
        QList<QProcess*> writers;
        for (int w = 0; w < 12; ++w) {
            const QString name = S("w%1-%2.test").arg(w);
            writers.append(command({S("query"), S("--save"), name.arg(1), name.arg(2), name.arg(3)}, fx->home.path()));
            writers.last()->start();
        }
        for (QProcess* writer : writers) QVERIFY(writer->waitForFinished(-1) && finish(writer).status == 0);
        const QByteArray saved = fileBytes(historyFilePath());
        QVERIFY(saved.startsWith(large));
        const QStringList added = historyDomains(saved).filter(QStringLiteral("w"));
        QCOMPARE(added.size(), 36);
        for (const QString& domain : added) QCOMPARE(historyRecords(saved, domain).size(), 1);
    }

    void exitStatuses() {
        const QString home = fx->home.path();
        QCOMPARE(cli({S("frob")}, home).status, 2);
        QCOMPARE(cli({S("query")}, home).status, 2);
        QCOMPARE(cli({S("query"), S("a.com"), S("--format"), S("xml")}, home).status, 2);
        QCOMPARE(cli({S("query"), S("ok.com"), QString()}, home).status, 2);
        QCOMPARE(cli({S("query"), S("a\tb.com")}, home).status, 2);
        QVERIFY(fx->services.log().empty());  // a refused domain stops the run before any request

        const Run version = cli({S("--version")}, home);
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("zorvan-cli 6.2\n"));

        // A file that cannot be read is named, left alone, and gives 3.
        QVERIFY(QDir().mkpath(historyFilePath()));
        const Run blocked = cli({S("query"), S("sample.net"), S("--save"), S("--format"), S("csv")}, home);
        QCOMPARE(blocked.status, 3);
        QVERIFY(blocked.err.contains(historyFilePath().toUtf8()));
        QVERIFY(blocked.out.contains("sample.net"));  // the results are still printed
        QVERIFY(QFileInfo(historyFilePath()).isDir());
        QCOMPARE(cli({S("history"), S("sample.net")}, home).status, 3);
        QVERIFY(QDir().mkpath(configFilePath()));
        QCOMPARE(cli({S("batch")}, home).status, 3);
    }

    // Past the file-size limit a save fails like a full disk: status 3, old file whole.
    void fileSizeLimitFailsTheSaveInsteadOfKillingTheCommand() {
        const QByteArray old = "[d.com]\r\n2010-5-12=1/2\r\n";
        {
            QFile f(historyFilePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        QProcess* process = command({S("query"), S("sample.net"), S("--save")}, fx->home.path());
        process->setChildProcessModifier([] {
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 64;
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        process->start();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 3);
        QCOMPARE(fileBytes(historyFilePath()), old);
    }
};

QTEST_MAIN(CliTest)
#include "qtest_cli.moc"
