// zorvan-cli as a user runs it: the same figures and saved bytes as the window, several writers at
// once, its exit statuses, and what it must refuse, pass over or stop at.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cerrno>
#include <cstring>

#include "app/mainwindow.h"
#include "clirunner.h"
#include "core/localfile.h"
#include "core/services.h"
#include "engines/queryengine.h"
#include "fakeplatform.h"
#include "history/historyfile.h"
#include "robotreceiver.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

using test::fileBytes;
using test::writeFile;

}  // namespace

class CliTest : public QObject, test::CliFixture {
    Q_OBJECT

    test::CliRun finish(QProcess* process) { return test::finishCli(process); }
    void saveList(const QString& value) {
        QVERIFY(test::writeFile(configFilePath(),
                                encodeAnsi(S("[section]\r\nurl=") + value + S("\r\n"))));
    }
    // Whether any request named the domain.
    bool asked(const QString& domain) const {
        for (const auto& entry : fx->services.log())
            if (entry.target.contains(domain.toUtf8())) return true;
        return false;
    }

    // notify.json with a webhook to the robot, and any more entries.
    void writeTargets(test::RobotReceiver& robot, const QString& more = {}) {
        const QString hook =
            S("{\"kind\": \"webhook\", \"url\": \"") + robot.url(S("/hook")) + S("\"}");
        QVERIFY(writeFile(fx->homeFile(S("notify.json")),
                          (S("{\"targets\": [") + hook + more + S("]}")).toUtf8()));
    }

  private Q_SLOTS:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    void sameFiguresAndSavedBytesAsTheWindow() {
        MainWindow window(nullptr, std::nullopt);
        window.domainBox()->setEditText(S("sample.net"));
        window.queryButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.queryButton()->isEnabled() && window.query()->isFinished(),
                                 20000);
        // The window writes its record off its own thread.
        QTRY_VERIFY(!fileBytes(historyFilePath()).isEmpty());
        const QByteArray windowSaved = fileBytes(historyFilePath());

        QTemporaryDir other;
        const auto run =
            cli({S("query"), S("sample.net"), S("--save"), S("--format"), S("json")}, other.path());
        QCOMPARE(run.status, 0);
        QCOMPARE(fileBytes(other.filePath(S("history.txt"))), windowSaved);

        const QJsonObject json = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(json.value(S("domain")).toString(), S("sample.net"));
        for (const FigureInfo& f : figureTable()) {
            const QStringList path = f.key.split(u'.');
            const QJsonValue value = path.size() == 2
                                         ? json.value(path[0]).toObject().value(path[1])
                                         : json.value(path[0]);
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

    // Each save of a file this large holds the lock a while: waiters must wait as long as writers
    // go on.
    void manyWritersOnALargeHistoryAllLand() {
        QByteArray large;
        const QByteArray day =
            "=1234567/890123|234567/8901|34567/890|4567/89|567/8|67890/12345|7890/123|45678\r\n";
        for (int d = 0; large.size() < 17'800'000; ++d) {
            large += "[old" + QByteArray::number(d) + ".test]\r\n";
            for (int n = 0; n < 365; ++n) large += "2009-" + QByteArray::number(n) + day;
        }
        QFile file(historyFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(large) == large.size() &&
                file.flush());
        QList<QProcess*> writers;
        for (int w = 0; w < 12; ++w) {
            const QString name = S("w%1-%2.test").arg(w);
            writers.append(command({S("query"), S("--save"), name.arg(1), name.arg(2), name.arg(3)},
                                   fx->home.path()));
            writers.last()->start();
        }
        for (QProcess* writer : writers)
            QVERIFY(writer->waitForFinished(-1) && finish(writer).status == 0);
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
        const test::CliRun option = cli({S("query"), S("a.com"), S("-x")}, home);
        QCOMPARE(option.status, 2);
        QVERIFY(option.err.contains("-x"));
        QVERIFY(fx->services.log().empty());  // a refused domain stops the run before any request

        const test::CliRun version = cli({S("--version")}, home);
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("zorvan-cli 6.2\n"));

        // A file that cannot be read is named, left alone, and gives 3.
        QVERIFY(QDir().mkpath(historyFilePath()));
        const test::CliRun blocked =
            cli({S("query"), S("sample.net"), S("--save"), S("--format"), S("csv")}, home);
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
        // Past the 16 KB a file device buffers, so the limit cuts a write short.
        const QByteArray old = "[d.com]\r\n" + QByteArray("2010-5-12=1/2\r\n").repeated(2000);
        {
            QFile f(historyFilePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        QProcess* process = command({S("query"), S("sample.net"), S("--save")}, fx->home.path());
        process->setChildProcessModifier([] {
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 20000;
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        process->start();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 3);
        QCOMPARE(fileBytes(historyFilePath()), old);
        // The reason is the system's, not "Unknown error".
        const QByteArray err = process->readAllStandardError();
        QVERIFY2(err.contains(std::strerror(EFBIG)), err.constData());
    }

    void resultsStopAtTheFirstFailedWrite() {
        saveList(S("one.test,two.test"));
        // A reader that has gone: the run ends at the first result, without a word.
        int ends[2];
        QVERIFY(::pipe(ends) == 0);
        ::close(ends[0]);
        QProcess* process = command({S("batch")}, home());
        process->setChildProcessModifier([end = ends[1]] { ::dup2(end, STDOUT_FILENO); });
        process->start();
        QVERIFY(process->waitForStarted());
        ::close(ends[1]);
        const test::CliRun closed = finish(process);
        QVERIFY(closed.crashed && !closed.err.contains("write"));
        QVERIFY(asked(S("one.test")) && !asked(S("two.test")));
        // A full disk: told, and status 3.
        QProcess* full = command({S("--help")}, home());
        full->setStandardOutputFile(S("/dev/full"));
        QCOMPARE(finish(full).status, 3);
    }

    void aBadListEntryIsPassedOverAndTheRestQueried() {
        saveList(S("one.test,bad\ttab.test,   ,two.test"));
        const test::CliRun run = cli({S("batch"), S("--format"), S("csv")});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains(
                     "entry 2 of the saved list: refused a domain holding a control character: "
                     "\"bad\\ttab.test\""),
                 run.err.constData());
        QVERIFY(run.out.contains("\r\none.test,") && run.out.contains("\r\ntwo.test,"));
        // A line of a list file that is not UTF-8 would be asked and saved as another domain.
        QVERIFY(writeFile(fx->homeFile(S("latin1.txt")), "three.test\ncaf\xe9.test\n"));
        const test::CliRun latin1 = cli({S("batch"), S("--list"), fx->homeFile(S("latin1.txt"))});
        QCOMPARE(latin1.status, 2);
        QVERIFY2(latin1.err.contains("latin1.txt:2: refused a line that is not UTF-8"),
                 latin1.err.constData());
        QVERIFY(asked(S("three.test")) && !asked(S("caf")));
        // A list holding nothing to ask says so, and asks nothing.
        fx->services.clearLog();
        saveList(S(" , "));
        QVERIFY(cli({S("batch")}).err.contains("holds no domain"));
        QVERIFY(fx->services.log().empty());
    }

    // A file a user names is read within bounds, and a settings file that is no regular file is
    // refused at once, never waited on; a list may still come from a pipe.
    void namedFilesAreBoundedAndNeverWaitedOn() {
        const test::CliRun zero = cli({S("batch"), S("--list"), S("/dev/zero")});
        QCOMPARE(zero.status, 2);
        QVERIFY2(zero.err.contains("/dev/zero:1: a line longer than 4096 bytes"),
                 zero.err.constData());
        const QString fifo = fx->homeFile(S("fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const test::CliRun proxies = cli({S("query"), S("sample.net"), S("--proxies"), fifo});
        QCOMPARE(proxies.status, 3);
        QVERIFY2(proxies.err.contains("it is a FIFO"), proxies.err.constData());
        QVERIFY(::mkfifo(QFile::encodeName(fx->homeFile(S("notify.json"))).constData(), 0600) == 0);
        QVERIFY(cli({S("notify"), S("--test")})
                    .err.contains("notify.json: cannot be read (it is a FIFO)"));
        QVERIFY(QFile::remove(fx->homeFile(S("notify.json"))));
        QVERIFY(writeFile(fx->homeFile(S("notify.json")), QByteArray(5 << 20, ' ')));
        QVERIFY(cli({S("notify"), S("--test")}).err.contains("larger than 4 MB"));
        QVERIFY(fx->services.log().empty());

        QVERIFY(writeFile(fx->homeFile(S("domains.txt")), "one.test\nskip.test\ntwo.test\n"));
        QProcess* piped = command({}, home());
        piped->setProgram(S("bash"));
        piped->setArguments({S("-c"),
                             S("exec \"$0\" batch --format csv --list <(grep -v skip \"$1\")"),
                             S(ZORVAN_CLI_BINARY), fx->homeFile(S("domains.txt"))});
        const test::CliRun fromPipe = finish(piped);
        QCOMPARE(fromPipe.status, 0);
        QVERIFY(asked(S("one.test")) && asked(S("two.test")) && !asked(S("skip.test")));
    }

    void chartWritesOnlyARegularFileOrANewName() {
        QVERIFY(writeFile(historyFilePath(),
                          "[one.test]\r\n2026-3-1=100/5|X/7\r\n2026-3-8=120/6|30/7\r\n"));
        const QString target = fx->homeFile(S("precious.txt")), fifo = fx->homeFile(S("fifo.svg"));
        QVERIFY(writeFile(target, "keep me") && QDir().mkpath(fx->homeFile(S("dir.svg"))));
        QVERIFY(QFile::link(target, fx->homeFile(S("link.png"))));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const char* name : {"link.png", "fifo.svg", "dir.svg"}) {
            const test::CliRun run =
                cli({S("chart"), S("one.test"), S("--output"), fx->homeFile(S(name))});
            QCOMPARE(run.status, 3);
            QVERIFY2(run.err.contains(name), run.err.constData());
        }
        QCOMPARE(QFileInfo(fx->homeFile(S("link.png"))).symLinkTarget(), target);
        QCOMPARE(fileBytes(target), QByteArray("keep me"));
        QVERIFY(QFileInfo::exists(fifo) && !QFileInfo(fifo).isFile());
        // A new name, then the same file replaced.
        const QString chart = fx->homeFile(S("trend.png"));
        for (int i = 0; i < 2; ++i)
            QCOMPARE(cli({S("chart"), S("one.test"), S("--output"), chart}).status, 0);
        QVERIFY(fileBytes(chart).startsWith("\x89PNG"));
    }

    void aDropFailsTheRunOnlyWhenAsked() {
        const QByteArray huge = "99999999/99999999";
        QVERIFY(
            writeFile(historyFilePath(), "[one.test]\r\n2010-5-12=" + huge + '|' + huge + "\r\n"));
        const test::CliRun dropped = cli({S("query"), S("one.test"), S("--fail-on-drop")});
        QCOMPARE(dropped.status, 4);
        QVERIFY2(dropped.out.contains("indexed.baidu fell 100% since 2010-5-12"),
                 dropped.out.constData());
        QCOMPARE(cli({S("query"), S("one.test")}).status, 0);
    }

    void notifySendsOneDropMessageAndTheStatusFollowsTheFailOptions() {
        QVERIFY(writeFile(historyFilePath(), "[one.test]\r\n2010-5-12=99999999/99999999\r\n"));
        saveList(S("one.test,two.test"));
        // Without notify.json the run says so once and goes on.
        const test::CliRun alone = cli({S("query"), S("one.test"), S("--notify")});
        QCOMPARE(alone.status, 0);
        QCOMPARE(alone.err.count("notify.json does not exist"), 1);
        test::RobotReceiver robot;
        writeTargets(robot);
        QCOMPARE(cli({S("batch"), S("--notify")}).status, 0);
        QCOMPARE(robot.received().size(), 1);
        const QJsonObject sent = QJsonDocument::fromJson(robot.received()[0].body).object();
        QCOMPARE(sent[S("kind")].toString(), S("drop"));
        QCOMPARE(sent[S("drops")].toArray()[0].toObject()[S("domain")].toString(), S("one.test"));
        QCOMPARE(cli({S("batch"), S("--notify"), S("--fail-on-drop")}).status, 4);
    }

    void aBlockIsNoDropAndAFailedTargetGivesFiveOnlyWhenAsked() {
        // Baidu refuses: its counts are "X" for a block, never a fall from the stored ones.
        for (const QByteArray prefix : {"/", "/s?wd=domain%3A", "/s?wd=site%3A"})
            fx->services.setRoute(Role::Baidu, prefix, standin::Page{"Forbidden", 403});
        QVERIFY(writeFile(historyFilePath(), "[one.test]\r\n2010-5-12=99999999/99999999\r\n"));
        test::RobotReceiver robot;
        writeTargets(robot);
        QCOMPARE(cli({S("query"), S("one.test"), S("--notify"), S("--fail-on-drop")}).status, 0);
        QCOMPARE(robot.received().size(), 1);  // the block message alone
        const QJsonObject sent = QJsonDocument::fromJson(robot.received()[0].body).object();
        QCOMPARE(sent[S("kind")].toString(), S("block"));
        QVERIFY(sent[S("drops")].toArray().isEmpty());
        QCOMPARE(sent[S("missing")].toObject()[S("indexed.baidu")].toObject()[S("blocked")].toInt(),
                 1);
        robot.answer("/ding", {{400, R"({"errcode":300001,"errmsg":"token is not exist"})"}});
        writeTargets(robot, S(", {\"kind\": \"dingtalk\", \"url\": \"") +
                                robot.url(S("/ding?access_token=tok77run")) +
                                S("\", \"secret\": \"SECrun0077\"}"));
        const test::CliRun failed =
            cli({S("query"), S("one.test"), S("--notify"), S("--fail-on-notify")});
        QCOMPARE(failed.status, 5);
        QVERIFY2(failed.err.contains("dingtalk 127.0.0.1:") && failed.err.contains("300001"),
                 failed.err.constData());
        QVERIFY(!failed.err.contains("SECrun0077") && !failed.err.contains("tok77run"));
    }
};

QTEST_MAIN(CliTest)
#include "qtest_cli.moc"
