// zorvan-cli check and rules as a user runs them: every verdict from the stand-in's pages, and a
// broken rules.json that leaves the built-in rules working.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "clirunner.h"
#include "core/services.h"
#include "engines/rules.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

}  // namespace

class CheckCommandTest : public QObject, test::CliFixture {
    Q_OBJECT

    QByteArray out, err;

    int run(const QStringList& arguments) {
        const test::CliRun ran = cli(arguments);
        out = ran.out;
        err = ran.err;
        return ran.status;
    }

  private Q_SLOTS:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    void eachVerdictFromOnePage() {
        fx->services.setLatency(QString(), 30);  // long enough for requests to one host to overlap
        fx->services.setRoute(Role::Alexa, "/siteinfo/", standin::Page{"Forbidden", 403});
        fx->services.setRoute(Role::ChinaRank, "/overview/Info.do?url=",
                              standin::Page{test::toGbk(S("<p>请输入验证码</p>")), 200});
        fx->services.setRoute(Role::Bing, "/search?q=site%3A", S("<html>no count</html>"));
        fx->services.setFailure(Role::Youdao, standin::Failure::Refuse);
        fx->services.setFailure(Role::SogouRank, standin::Failure::HugeBody);
        fx->services.setRoute(Role::Bing, "/search?q=link%3A",
                              standin::Page{{}, 302, "http://{{host:bing}}/moved"});
        fx->services.setRoute(Role::Bing, "/moved",
                              standin::Page{test::toGbk(S("结果(共 12 条")), 200});
        // Reading the huge answer up to its cut takes seconds on a loaded machine.
        const test::CliRun ran =
            unhurriedCli({S("check"), S("sample.net"), S("--format"), S("json")});
        out = ran.out;
        QCOMPARE(ran.status, 0);

        QHash<QString, QJsonObject> rows;
        for (const QByteArray& line : out.trimmed().split('\n')) {
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            QCOMPARE(row.keys(),
                     (QStringList{S("bytes"), S("charset"), S("final_url"), S("id"), S("ms"),
                                  S("status"), S("url"), S("value"), S("verdict")}));
            rows.insert(row.value(S("id")).toString(), row);
        }
        QCOMPARE(rows.size(), FigureCount);
        const auto verdict = [&](const char* id) {
            return rows[S(id)].value(S("verdict")).toString();
        };
        QCOMPARE(verdict("indexed.google"), S("ok"));
        QCOMPARE(rows[S("indexed.google")].value(S("value")).toString(), S("约 45600 "));
        QCOMPARE(verdict("indexed.bing"), S("not-found"));
        QCOMPARE(verdict("alexa_rank"), S("blocked"));
        QCOMPARE(rows[S("alexa_rank")].value(S("status")).toInt(), 403);
        QCOMPARE(verdict("baidu_snapshot"), S("blocked"));
        QCOMPARE(verdict("backlinks.youdao"), S("no-answer"));
        QCOMPARE(rows[S("backlinks.youdao")].value(S("status")).toInt(), 0);
        QCOMPARE(verdict("sogou_rank"), S("error"));
        QCOMPARE(rows[S("backlinks.baidu")].value(S("url")).toString(),
                 serviceBase(Role::Baidu) + S("/s?wd=domain%3Asample.net"));
        QCOMPARE(rows[S("backlinks.baidu")].value(S("final_url")),
                 rows[S("backlinks.baidu")].value(S("url")));
        // A redirect: the address asked, and where the page really came from.
        QCOMPARE(rows[S("backlinks.bing")].value(S("value")).toString(), S(" 12 "));
        QCOMPARE(rows[S("backlinks.bing")].value(S("url")).toString(),
                 serviceBase(Role::Bing) + S("/search?q=link%3Asample.net"));
        QCOMPARE(rows[S("backlinks.bing")].value(S("final_url")).toString(),
                 serviceBase(Role::Bing) + S("/moved"));

        // One host is asked one request at a time.
        for (const QString& role : hostRoles()) {
            const auto log = fx->services.log(role);
            for (size_t i = 1; i < log.size(); ++i)
                QVERIFY2(log[i].startMs >= log[i - 1].endMs, qPrintable(role));
        }
    }

    void aBrokenRulesFileLeavesTheBuiltInsWorking() {
        QFile file(fx->homeFile(S("rules.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"indexed.bing\": {\"start\": \"x\",}}");
        file.close();
        QCOMPARE(run({S("rules")}), 0);
        QCOMPARE(QString::fromUtf8(out), rulesJson(builtinRules()));
        QVERIFY2(err.contains((file.fileName() + S(":1:")).toUtf8()), err.constData());

        QCOMPARE(run({S("query"), S("sample.net"), S("--format"), S("json")}), 0);
        QCOMPARE(QJsonDocument::fromJson(out)
                     .object()
                     .value(S("indexed"))
                     .toObject()
                     .value(S("bing"))
                     .toString(),
                 S(" 23400 "));
        QVERIFY(err.contains(file.fileName().toUtf8()));
    }
};

QTEST_MAIN(CheckCommandTest)
#include "qtest_check.moc"
