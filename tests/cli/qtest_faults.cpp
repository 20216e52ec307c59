// zorvan-cli against hostile input, files and readers: what it must refuse, pass over or stop at.
#include <QDir>
#include <QFile>
#include <QtTest>
#include <unistd.h>

#include "clirunner.h"
#include "fetch/localfile.h"
#include "fetch/services.h"
#include "standinfixture.h"

using namespace zorvan;

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

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
        QVERIFY2(run.err.contains("entry 2 of the saved list"), run.err.constData());
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
};

QTEST_MAIN(CliFaultsTest)
#include "qtest_faults.moc"
