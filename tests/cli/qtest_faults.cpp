// zorvan-cli against hostile input, files and readers: what it must refuse, pass over or stop at.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

#include "clirunner.h"
#include "fetch/localfile.h"
#include "fetch/services.h"
#include "standinfixture.h"

using namespace zorvan;

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace

class CliFaultsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::StandinFixture> fx;

    test::CliRun cli(const QStringList& arguments) {
        return test::finishCli(test::cliProcess(arguments, fx->home.path(), this));
    }
    void saveList(const QString& value) {
        QVERIFY(writeFile(configFilePath(), EncodeAnsi(S("[section]\r\nurl=") + value + S("\r\n"))));
    }
    // Whether any request named the domain.
    bool asked(const QString& domain) const {
        for (const auto& entry : fx->services.log())
            if (entry.target.contains(domain.toUtf8())) return true;
        return false;
    }

private Q_SLOTS:
    void init() {
        fx = std::make_unique<test::StandinFixture>(1500);
        QVERIFY(fx->services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes")) > 0);
    }
    void cleanup() { fx.reset(); }

    void resultsStopAtTheFirstFailedWrite() {
        saveList(S("one.test,two.test,three.test"));
        // A reader that has gone: the run ends at the first result, without a word.
        int ends[2];
        QVERIFY(::pipe(ends) == 0);
        ::close(ends[0]);
        QProcess* process = test::cliProcess({S("batch")}, fx->home.path(), this);
        const int writeEnd = ends[1];
        process->setChildProcessModifier([writeEnd] { ::dup2(writeEnd, STDOUT_FILENO); });
        process->start();
        QVERIFY(process->waitForStarted());
        ::close(writeEnd);
        const test::CliRun closed = test::finishCli(process);
        QVERIFY(closed.crashed);
        QVERIFY2(!closed.err.contains("write"), closed.err.constData());
        QVERIFY(asked(S("one.test")));
        QVERIFY(!asked(S("two.test")));

        // A full disk: told, and status 3, for results and for the help alike.
        QVERIFY(writeFile(historyFilePath(), "[one.test]\r\n2010-5-12=1/2\r\n"));
        for (const QStringList& arguments : {QStringList{S("history"), S("one.test")}, QStringList{S("--help")},
                                             QStringList{S("rules")}}) {
            QProcess* full = test::cliProcess(arguments, fx->home.path(), this);
            full->setStandardOutputFile(S("/dev/full"));
            const test::CliRun run = test::finishCli(full);
            QCOMPARE(run.status, 3);
            QVERIFY2(run.err.contains("cannot write to standard output"), run.err.constData());
        }
    }

    void aBadListEntryIsPassedOverAndTheRestQueried() {
        saveList(S("one.test,bad\ttab.test,   ,two.test"));
        const test::CliRun run = cli({S("batch"), S("--format"), S("csv")});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("entry 2 of the saved list") && run.err.contains("bad\\ttab.test"), run.err.constData());
        QVERIFY(run.out.contains("\r\none.test,") && run.out.contains("\r\ntwo.test,"));
        QVERIFY(!asked(S("tab.test")));

        // A list holding nothing to ask says so, and asks nothing.
        fx->services.clearLog();
        for (const QString& value : {S(" , "), QString()}) {
            saveList(value);
            const test::CliRun empty = cli({S("batch")});
            QCOMPARE(empty.status, 2);
            QVERIFY2(empty.err.contains("holds no domain"), empty.err.constData());
        }
        QVERIFY(QFile::remove(configFilePath()));
        QVERIFY(cli({S("batch")}).err.contains("does not exist"));
        QVERIFY(fx->services.log().empty());
    }

    void chartWritesOnlyARegularFileOrANewName() {
        QVERIFY(writeFile(historyFilePath(), "[one.test]\r\n2026-3-1=100/5|X/7\r\n2026-3-8=120/6|30/7\r\n"));
        const QString folder = fx->home.filePath(S("charts"));
        QVERIFY(QDir().mkpath(folder + S("/dir.svg")));
        const QString target = fx->home.filePath(S("precious.txt"));
        QVERIFY(writeFile(target, "keep me"));
        QVERIFY(QFile::link(target, folder + S("/link.png")));
        QVERIFY(QFile::link(folder + S("/nowhere"), folder + S("/dangling.svg")));
        QVERIFY(::mkfifo(QFile::encodeName(folder + S("/fifo.svg")).constData(), 0600) == 0);
        for (const char* name : {"link.png", "dangling.svg", "fifo.svg", "dir.svg"}) {
            const test::CliRun run = cli({S("chart"), S("one.test"), S("--output"), folder + u'/' + S(name)});
            QCOMPARE(run.status, 3);
            QVERIFY2(run.err.contains(name), run.err.constData());
        }
        QCOMPARE(QFileInfo(folder + S("/link.png")).symLinkTarget(), target);
        QVERIFY(!QFileInfo::exists(folder + S("/nowhere")));
        QVERIFY(QFileInfo(folder + S("/dir.svg")).isDir());
        QCOMPARE(fileBytes(target), QByteArray("keep me"));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 4);

        // A new name, then the same file replaced: both drawn.
        const QString chart = folder + S("/trend.svg");
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(cli({S("chart"), S("one.test"), S("--output"), chart}).status, 0);
            QVERIFY(fileBytes(chart).contains("<svg"));
        }
        QCOMPARE(cli({S("chart"), S("none.test"), S("--output"), chart}).status, 2);
    }

    void historyAndChartRefuseWhatQueryRefuses() {
        for (const QString& domain : {QString(), S("a\x01b.test")}) {
            QCOMPARE(cli({S("history"), domain}).status, 2);
            QCOMPARE(cli({S("chart"), domain, S("--output"), fx->home.filePath(S("c.png"))}).status, 2);
        }
        QVERIFY(!QFileInfo::exists(fx->home.filePath(S("c.png"))));
        // A data folder that cannot be read is not a folder without records.
        QProcess* process = test::cliProcess({S("history"), S("one.test")}, fx->homeFile(S("services.txt")), this);
        const test::CliRun unreadable = test::finishCli(process);
        QCOMPARE(unreadable.status, 3);
        QVERIFY2(unreadable.err.contains("data folder"), unreadable.err.constData());
    }

    void controlCharactersFromPagesReachNoTerminal() {
        QVERIFY(writeFile(fx->homeFile(S("rules.json")),
                          "{\"indexed.bing\": {\"url\": \"http://{host:bing}/esc?{domain}\", \"start\": \"<b>\", "
                          "\"end\": \"</b>\"}}"));
        fx->services.setRoute(Role::Bing, "/esc?", S("<b>\x1b[31m12\r\n</b>"));
        const test::CliRun text = cli({S("query"), S("one.test")});
        QCOMPARE(text.status, 0);
        QVERIFY2(text.out.contains("\\x1b[31m12\\r\\n"), text.out.constData());
        QVERIFY(!text.out.contains('\x1b') && !text.out.contains('\r'));
        // JSON carries the value whole, escaped as JSON escapes it.
        QVERIFY(cli({S("query"), S("one.test"), S("--format"), S("json")}).out.contains("\\u001b[31m12\\r\\n"));
    }

    void aDropFailsTheRunOnlyWhenAsked() {
        const QByteArray huge = "99999999/99999999";
        QVERIFY(writeFile(historyFilePath(), "[one.test]\r\n2010-5-12=" + huge + '|' + huge + "\r\n"));
        const test::CliRun asked = cli({S("query"), S("one.test"), S("--fail-on-drop")});
        QCOMPARE(asked.status, 4);
        QVERIFY2(asked.out.contains("indexed.baidu fell 100% since 2010-5-12"), asked.out.constData());
        QCOMPARE(cli({S("query"), S("one.test")}).status, 0);
        QCOMPARE(cli({S("query"), S("one.test"), S("--fail-on-drop"), S("--drop-threshold"), S("100")}).status, 0);
    }

    void rulesProblemsAreCutToTheFirstTwenty() {
        QByteArray rules = "{";
        for (int i = 0; i < 25; ++i) rules += "\"unknown" + QByteArray::number(i) + "\": {},";
        rules.chop(1);
        QVERIFY(writeFile(fx->homeFile(S("rules.json")), rules + '}'));
        const test::CliRun run = cli({S("rules")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err.count("unknown rule"), 20);
        QVERIFY2(run.err.endsWith("zorvan-cli: \xE2\x80\xA6 and 5 more\n"), run.err.constData());
    }
};

QTEST_MAIN(CliFaultsTest)
#include "qtest_faults.moc"
