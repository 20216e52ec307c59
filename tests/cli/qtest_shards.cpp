// A list split into shards run by separate commands, and their results imported into one history.
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

#include "clirunner.h"
#include "fakeplatform.h"
#include "fetch/services.h"
#include "history/historyfile.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using test::fileBytes;
using test::writeFile;
using zorvan::S;

QStringList jsonDomains(const QByteArray& out) {
    QStringList domains;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty()) domains.append(QJsonDocument::fromJson(line).object().value(S("domain")).toString());
    return domains;
}

}  // namespace

class ShardsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakePlatform> fake;
    std::unique_ptr<test::StandinFixture> fx;

    test::CliRun cli(const QStringList& arguments, const QString& home) {
        return test::finishCli(test::cliProcess(arguments, home, this));
    }
    QString file(const QString& name) const { return fx->homeFile(name); }

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

    void fourShardRunsAndImportStoreWhatOneBatchSaves() {
        QStringList domains;
        QByteArray list = "# the group\n\n";
        for (int i = 0; i < 12; ++i) {
            domains.append(S("site%1.test").arg(i));
            list += domains.last().toUtf8() + (i % 3 ? "\n" : "  \r\n");
        }
        const QString listPath = file(S("domains.txt"));
        QVERIFY(writeFile(listPath, list));
        QTemporaryDir whole, merged;
        QCOMPARE(cli({S("batch"), S("--list"), listPath, S("--save")}, whole.path()).status, 0);

        // Four commands at once, each its own shard, as four machines would run them.
        QList<QProcess*> shards;
        for (int k = 1; k <= 4; ++k) {
            shards.append(test::cliProcess({S("batch"), S("--list"), listPath, S("--shard"), S("%1/4").arg(k),
                                            S("--format"), S("json")}, merged.path(), this));
            shards.last()->start();
        }
        QStringList outputs, seen;
        for (int k = 1; k <= 4; ++k) {
            const test::CliRun run = test::finishCli(shards[k - 1]);
            QCOMPARE(run.status, 0);
            outputs.append(merged.filePath(S("shard%1.jsonl").arg(k)));
            QVERIFY(writeFile(outputs.last(), run.out));
            seen += jsonDomains(run.out);
        }
        // Disjoint and covering: every domain once, whatever shard it fell in.
        QCOMPARE(QSet<QString>(seen.cbegin(), seen.cend()).size(), seen.size());
        seen.sort();
        QStringList expected = domains;
        expected.sort();
        QCOMPARE(seen, expected);

        QCOMPARE(cli(QStringList{S("import")} + outputs + QStringList{S("--save")}, merged.path()).status, 0);
        const QString mergedHistory = merged.filePath(S("history.txt"));
        for (const QString& d : domains) {
            const QStringList records = historyRecords(fileBytes(whole.filePath(S("history.txt"))), d);
            QCOMPARE(records.size(), 1);
            QCOMPARE(historyRecords(fileBytes(mergedHistory), d), records);
        }
        // The same files again change nothing.
        const QByteArray once = fileBytes(mergedHistory);
        const test::CliRun again = cli(QStringList{S("import"), S("--save")} + outputs, merged.path());
        QCOMPARE(again.status, 0);
        QVERIFY2(again.err.contains("0 added, 0 replaced a different record of their day, 12 already stored"), again.err.constData());
        QCOMPARE(fileBytes(mergedHistory), once);
    }

    void aLineThatIsNotAResultStoresNothingOfItsFile() {
        const QByteArray good = cli({S("query"), S("good.test"), S("--format"), S("json")}, fx->home.path()).out;
        const QByteArray other = cli({S("query"), S("other.test"), S("--format"), S("json")}, fx->home.path()).out;
        QVERIFY(good.startsWith("{\"domain\": \"good.test\""));
        QVERIFY(writeFile(file(S("good.jsonl")), good));
        // A day written another way would start a second record of the same day.
        const QByteArray wrongDate = QString::fromUtf8(other)
                                         .replace(QRegularExpression(S("\"date\": \"(\\d+)-(\\d+)-")),
                                                  S("\"date\": \"\\1-0\\2-"))
                                         .toUtf8();
        QVERIFY(wrongDate != other);
        for (const auto& [name, second] : {std::pair{"bad.jsonl", QByteArray("{\"domain\": \"x.test\"}\n")},
                                           std::pair{"date.jsonl", wrongDate}}) {
            QVERIFY(writeFile(file(S(name)), other + "\n" + second));
            const test::CliRun run = cli({S("import"), file(S(name)), file(S("good.jsonl")), S("--save")}, fx->home.path());
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains(QString(file(S(name)) + S(":3: not a result")).toUtf8()), run.err.constData());
            QVERIFY(historyRecords(fileBytes(historyFilePath()), S("other.test")).isEmpty());
            QCOMPARE(historyRecords(fileBytes(historyFilePath()), S("good.test")).size(), 1);
        }
        // Without --save it only shows what it would store.
        const QByteArray before = fileBytes(historyFilePath());
        const test::CliRun shown = cli({S("import"), file(S("good.jsonl"))}, fx->home.path());
        QCOMPARE(shown.status, 0);
        QVERIFY2(shown.out.startsWith("same  good.test  "), shown.out.constData());
        QCOMPARE(fileBytes(historyFilePath()), before);
    }

    void listFileEntriesAndShardsRefusedAsTheSavedListsAre() {
        QVERIFY(writeFile(file(S("list.txt")), "one.test\nbad\ttab.test\n# gone.test\ntwo.test\n"));
        const test::CliRun run = cli({S("batch"), S("--list"), file(S("list.txt")), S("--format"), S("csv")},
                                     fx->home.path());
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains(QString(file(S("list.txt")) + S(":2: refused a domain holding a control character"))
                                      .toUtf8()),
                 run.err.constData());
        QVERIFY(run.out.contains("\r\none.test,") && run.out.contains("\r\ntwo.test,"));
        QVERIFY(!run.out.contains("gone.test"));
        fx->services.clearLog();
        for (const char* shard : {"0/4", "5/4", "4"})
            QCOMPARE(cli({S("batch"), S("--list"), file(S("list.txt")), S("--shard"), S(shard)}, fx->home.path()).status, 2);
        QCOMPARE(cli({S("batch"), S("--list"), file(S("missing.txt"))}, fx->home.path()).status, 3);
        QVERIFY(fx->services.log().empty());
    }
};

QTEST_GUILESS_MAIN(ShardsTest)
#include "qtest_shards.moc"
