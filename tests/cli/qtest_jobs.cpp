// Many domains at once from zorvan-cli: results in list order, a killed run resumed, a figure
// lost told with its reason, and the options' limits.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "clirunner.h"
#include "core/localfile.h"
#include "core/services.h"
#include "fakeplatform.h"
#include "history/historyfile.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using zorvan::S;

class JobsTest : public QObject, test::CliFixture {
    Q_OBJECT

    // When the stand-in sent its last answer about the domain.
    qint64 lastAnswer(const QString& domain) const {
        qint64 last = -1;
        for (const auto& entry : fx->services.log())
            if (entry.target.contains(domain.toUtf8())) last = std::max(last, entry.endMs);
        return last;
    }

  private Q_SLOTS:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    // The first domains answer slowest, so they end last; the file is still the one-job file.
    void outputFollowsTheListWhateverEndsFirst() {
        QStringList domains;
        for (int d = 0; d < 8; ++d) {
            domains.append(S("order%1.test").arg(d));
            fx->services.setTargetLatency(domains.last().toUtf8(), (7 - d) * 40);
        }
        const QStringList csv = {S("query"), S("--format"), S("csv"), S("--host-interval"), S("0")};
        const test::CliRun parallel =
            unhurriedCli(csv + domains + QStringList{S("--jobs"), S("8")});
        QCOMPARE(parallel.status, 0);
        QVERIFY2(lastAnswer(domains.last()) < lastAnswer(domains.first()),
                 "the domains did not overlap");
        const QList<QByteArray> lines = parallel.out.split('\n');
        QCOMPARE(lines.size(), domains.size() + 2);
        for (int d = 0; d < 8; ++d)
            QVERIFY(lines[d + 1].startsWith(QByteArray(domains[d].toUtf8() + ',')));
        QCOMPARE(unhurriedCli(csv + domains).out, parallel.out);
    }

    // Killed mid-run, the same line again finishes the list: every domain stored once, none asked
    // twice.
    void resumeAfterAKillStoresEveryDomainOnce() {
        QStringList domains;
        for (int d = 0; d < 12; ++d) domains.append(S("resume%1.test").arg(d));
        QVERIFY(test::writeFile(
            configFilePath(), encodeAnsi(S("[section]\r\nurl=") + domains.join(u',') + S("\r\n"))));
        fx->services.setLatency(QString(), 30);
        const QStringList line = {S("batch"),  S("--save"),   S("--resume"),
                                  S("--jobs"), S("3"),        S("--host-interval"),
                                  S("0"),      S("--format"), S("csv")};
        QProcess* first = command(line);
        first->start();
        QVERIFY(test::waitFor(
            [] { return historyDomains(test::fileBytes(historyFilePath())).size() >= 3; }, 60000));
        first->kill();
        QVERIFY(first->waitForFinished());
        delete first;
        const QStringList stored = historyDomains(test::fileBytes(historyFilePath()));
        QVERIFY2(stored.size() < domains.size(), "the run ended before it was killed");
        fx->services.clearLog();

        const test::CliRun again = cli(line);
        QCOMPARE(again.status, 0);
        QVERIFY2(again.err.contains(QStringLiteral("skipped %1 of 12").arg(stored.size()).toUtf8()),
                 again.err);
        const QByteArray saved = test::fileBytes(historyFilePath());
        QCOMPARE(historyDomains(saved).size(), domains.size());
        for (const QString& domain : domains) QCOMPARE(historyRecords(saved, domain).size(), 1);
        for (const QString& domain : stored) QCOMPARE(lastAnswer(domain), qint64(-1));
    }

    // A service that refuses: its figures are "X" with the reason, and an "X" is never a drop.
    void aMissingFigureTellsWhyAndIsNoDrop() {
        QVERIFY(test::writeFile(historyFilePath(),
                                "[gone.test]\r\n2010-5-12=|||||99999999/99999999||\r\n"));
        fx->services.setFailure(Role::Bing, standin::Failure::Refuse);
        const test::CliRun run =
            cli({S("query"), S("gone.test"), S("--format"), S("json"), S("--fail-on-drop")});
        QCOMPARE(run.status, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.out).object();
        const QJsonObject missing = json.value(S("missing")).toObject();
        QCOMPARE(missing.value(S("indexed.bing")).toString(), S("no-answer"));
        QCOMPARE(json.value(S("indexed")).toObject().value(S("bing")).toString(), S("X"));
        QCOMPARE(json.value(S("drops")).toArray().size(), 0);
        const test::CliRun text = cli({S("query"), S("gone.test")});
        QVERIFY2(text.out.contains("X: ") && text.out.contains("indexed.bing (no-answer)"),
                 text.out);
    }

    // A role's gap kept in rules.json paces its host, whatever --host-interval says, and `rules`
    // shows it.
    void aRoleIntervalInRulesJsonPacesItsHost() {
        QVERIFY(test::writeFile(fx->homeFile(S("rules.json")), R"({"intervals": {"alexa": 400}})"));
        QVERIFY(cli({S("rules")}).out.contains("\"intervals\": {\n    \"alexa\": 400\n  }"));
        const test::CliRun run = cli({S("query"), S("a.test"), S("b.test"), S("c.test"),
                                      S("--jobs"), S("3"), S("--host-interval"), S("0")});
        QCOMPARE(run.status, 0);
        QList<qint64> starts;
        for (const auto& entry : fx->services.log(Role::Alexa)) starts.append(entry.startMs);
        std::sort(starts.begin(), starts.end());
        QCOMPARE(starts.size(), 3);
        // Starts as the stand-in sees them: the first request of a process may be held a little
        // longer on its way there than the next.
        constexpr qint64 allowance = 40;
        for (int i = 1; i < starts.size(); ++i)
            QVERIFY2(starts[i] - starts[i - 1] >= 400 - allowance,
                     QByteArray::number(starts[i] - starts[i - 1]));
    }

    // One job waits as a service asks and gets the figure; a host that always refuses is given up
    // after a few answers, however long the list and however many jobs, and said so once.
    void aServiceIsWaitedForAndOneThatKeepsRefusingIsGivenUp() {
        const standin::Page tooMany{"slow down", 429, {}, "1"};
        fx->services.queueAnswers(Role::Youdao, {tooMany, tooMany});
        const test::CliRun waited = cli({S("query"), S("example.cn"), S("--format"), S("json")});
        QCOMPARE(waited.status, 0);
        const QJsonObject figures = QJsonDocument::fromJson(waited.out).object();
        QCOMPARE(figures.value(S("indexed")).toObject().value(S("youdao")).toString(), S(" 5432 "));

        for (const QByteArray prefix : {"/search?q=site%3A", "/search?q=link%3A"})
            fx->services.setRoute(Role::Bing, prefix, standin::Page{"go away", 429});
        fx->services.clearLog();
        QStringList domains;
        for (int d = 0; d < 50; ++d) domains.append(S("refused%1.test").arg(d));
        const test::CliRun run = cli(QStringList{S("query"), S("--format"), S("json"), S("--jobs"),
                                                 S("4"), S("--host-interval"), S("0")} +
                                     domains);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.count(R"("backlinks.bing": "blocked")"), 50);
        QCOMPARE(run.out.count(R"("indexed.bing": "blocked")"), 50);
        const auto asked = fx->services.log(Role::Bing).size();
        QVERIFY2(asked <= 12, QByteArray::number(qulonglong(asked)));
        QCOMPARE(run.err.count("refuses: not asked again in this run"), 1);
    }

    void optionLimitsAreUsageErrors() {
        for (const QStringList& options : {QStringList{S("--jobs"), S("0")},
                                           {S("--jobs"), S("65")},
                                           {S("--jobs"), S("two")},
                                           {S("--host-interval"), S("-1")},
                                           {S("--host-interval"), S("600001")}}) {
            const test::CliRun run = cli(QStringList{S("query"), S("a.test")} + options);
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains(options.first().toUtf8()), run.err);
        }
        const test::CliRun resume = cli({S("batch"), S("--resume")});
        QCOMPARE(resume.status, 2);
        QVERIFY(resume.err.contains("--resume needs --save"));
        QVERIFY(fx->services.log().empty());
    }
};

QTEST_MAIN(JobsTest)
#include "qtest_jobs.moc"
