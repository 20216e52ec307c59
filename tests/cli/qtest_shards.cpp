// A list split into shards run by separate commands, and their results imported into one history.
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "clirunner.h"
#include "core/services.h"
#include "fakeplatform.h"
#include "history/historyfile.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::fileBytes;
using test::writeFile;
using zorvan::S;

class ShardsTest : public QObject, test::CliFixture {
    Q_OBJECT

    QString file(const QString& name) const { return fx->homeFile(name); }

  private Q_SLOTS:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    void fourShardRunsAndImportStoreWhatOneBatchSaves() {
        QStringList domains;
        QByteArray list = "# the group\n\n";
        for (int i = 0; i < 12; ++i)
            list += (domains << S("site%1.test").arg(i)).last().toUtf8() + "  \r\n";
        const QString listPath = file(S("domains.txt"));
        QVERIFY(writeFile(listPath, list));
        QTemporaryDir whole, merged;
        QCOMPARE(cli({S("batch"), S("--list"), listPath, S("--save")}, whole.path()).status, 0);

        // Four commands at once, each its own shard, as four machines would run them.
        QList<QProcess*> shards;
        for (int k = 1; k <= 4; ++k) {
            shards << test::cliProcess({S("batch"), S("--list"), listPath, S("--shard"),
                                        S("%1/4").arg(k), S("--format"), S("json")},
                                       merged.path(), this);
            shards.last()->start();
        }
        QStringList outputs, seen;
        for (int k = 1; k <= 4; ++k) {
            const test::CliRun run = test::finishCli(shards[k - 1]);
            QCOMPARE(run.status, 0);
            QVERIFY(
                writeFile((outputs << merged.filePath(S("shard%1.jsonl").arg(k))).last(), run.out));
            for (const QByteArray& line : run.out.split('\n'))
                if (!line.isEmpty())
                    seen << QJsonDocument::fromJson(line).object().value(S("domain")).toString();
        }
        // Disjoint and covering: every domain once.
        seen.sort();
        domains.sort();
        QCOMPARE(seen, domains);

        QCOMPARE(cli(QStringList{S("import")} + outputs + QStringList{S("--save")}, merged.path())
                     .status,
                 0);
        const QString mergedHistory = merged.filePath(S("history.txt"));
        for (const QString& d : domains) {
            const QStringList records =
                historyRecords(fileBytes(whole.filePath(S("history.txt"))), d);
            QCOMPARE(records.size(), 1);
            QCOMPARE(historyRecords(fileBytes(mergedHistory), d), records);
        }
        const QByteArray once = fileBytes(mergedHistory);
        const test::CliRun again =
            cli(QStringList{S("import"), S("--save")} + outputs, merged.path());
        QVERIFY2(again.err.contains(
                     "0 added, 0 replaced a different record of their day, 12 already stored"),
                 again.err.constData());
        QCOMPARE(fileBytes(mergedHistory), once);
    }

    void aLineThatIsNotAResultStoresNothingOfItsFile() {
        const QByteArray good =
            cli({S("query"), S("good.test"), S("--format"), S("json")}, fx->home.path()).out;
        const QByteArray other =
            cli({S("query"), S("other.test"), S("--format"), S("json")}, fx->home.path()).out;
        QVERIFY(writeFile(file(S("good.jsonl")), good));
        // A day written another way would start a second record of the same day.
        const QByteArray wrongDate =
            QString::fromUtf8(other)
                .replace(QRegularExpression(S("\"date\": \"(\\d+)-(\\d+)-")),
                         S("\"date\": \"\\1-0\\2-"))
                .toUtf8();
        // A day to come would stand as the latest record for years.
        const QByteArray future = QString::fromUtf8(other)
                                      .replace(QRegularExpression(S("\"date\": \"[0-9-]+\"")),
                                               S("\"date\": \"9999-12-31\""))
                                      .toUtf8();
        for (const auto& [name, second] :
             {std::pair{"bad.jsonl", QByteArray("{\"domain\": \"x.test\"}\n")},
              std::pair{"date.jsonl", wrongDate}, std::pair{"future.jsonl", future}}) {
            QVERIFY(writeFile(file(S(name)), other + "\n" + second));
            const test::CliRun run = cli(
                {S("import"), file(S(name)), file(S("good.jsonl")), S("--save")}, fx->home.path());
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains(QString(file(S(name)) + S(":3: not a result")).toUtf8()),
                     run.err.constData());
            QVERIFY(historyRecords(fileBytes(historyFilePath()), S("other.test")).isEmpty());
            QCOMPARE(historyRecords(fileBytes(historyFilePath()), S("good.test")).size(), 1);
        }
        // Without --save it only shows what it would store.
        const QByteArray before = fileBytes(historyFilePath());
        QVERIFY(cli({S("import"), file(S("good.jsonl"))}, fx->home.path())
                    .out.startsWith("same  good.test  "));
        QCOMPARE(fileBytes(historyFilePath()), before);
    }
};

QTEST_GUILESS_MAIN(ShardsTest)
#include "qtest_shards.moc"
