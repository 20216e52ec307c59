// --notify on query and batch: what a run sends to notify.json's targets, and the exit statuses
// that follow, against the stand-in services and a loopback robot.
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "clirunner.h"
#include "fakeplatform.h"
#include "fetch/localfile.h"
#include "fetch/services.h"
#include "robotreceiver.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

// Indexed pages and backlinks of the first two engines far above anything the services say.
const QByteArray HugeRecord = "[one.test]\r\n2010-5-12=99999999/99999999|99999999/99999999\r\n";

QJsonObject json(const QByteArray& body) { return QJsonDocument::fromJson(body).object(); }

}  // namespace

class RunAlertsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakePlatform> fake;
    std::unique_ptr<test::StandinFixture> fx;
    std::unique_ptr<test::RobotReceiver> robot;

    test::CliRun cli(const QStringList& arguments) {
        return test::finishCli(test::cliProcess(arguments, fx->home.path(), this));
    }
    void saveList(const QString& value) {
        QVERIFY(test::writeFile(configFilePath(), encodeAnsi(S("[section]\r\nurl=") + value + S("\r\n"))));
    }
    void writeTargets(const QString& targets) {
        QVERIFY(test::writeFile(fx->homeFile(S("notify.json")), (S("{\"targets\": [") + targets + S("]}")).toUtf8()));
    }
    QString webhook(const QString& path) const {
        return S("{\"kind\": \"webhook\", \"url\": \"") + robot->url(path) + S("\"}");
    }

private Q_SLOTS:
    void init() {
        fake = std::make_unique<test::FakePlatform>();
        fx = std::make_unique<test::StandinFixture>(1500);
        robot = std::make_unique<test::RobotReceiver>();
        QVERIFY(fx->services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes")) > 0);
        QVERIFY(test::writeFile(historyFilePath(), HugeRecord));
    }
    void cleanup() {
        robot.reset();
        fx.reset();
        fake.reset();
    }

    void aDropIsSentOnceAndTheStatusFollowsTheFailOptions() {
        saveList(S("one.test,two.test"));
        writeTargets(webhook(S("/hook")));
        const test::CliRun ran = cli({S("batch"), S("--notify"), S("--save")});
        QCOMPARE(ran.status, 0);
        QCOMPARE(robot->received().size(), 1);
        const QJsonObject sent = json(robot->received().first().body);
        QCOMPARE(sent.value(S("kind")).toString(), S("drop"));
        QCOMPARE(sent.value(S("run")).toObject().value(S("domains")).toInt(), 2);
        QCOMPARE(sent.value(S("run")).toObject().value(S("saved")).toInt(), 2);
        QVERIFY(!sent.value(S("drops")).toArray().isEmpty());
        for (const QJsonValue& drop : sent.value(S("drops")).toArray())
            QCOMPARE(drop.toObject().value(S("domain")).toString(), S("one.test"));

        QCOMPARE(cli({S("batch"), S("--notify"), S("--fail-on-drop")}).status, 4);
        QCOMPARE(robot->received().size(), 2);
        QCOMPARE(cli({S("batch"), S("--fail-on-notify")}).status, 2);

        // Without notify.json the run goes on, says so once, and fails only when told to.
        QVERIFY(QFile::remove(fx->homeFile(S("notify.json"))));
        const test::CliRun alone = cli({S("query"), S("one.test"), S("--notify")});
        QCOMPARE(alone.status, 0);
        QCOMPARE(alone.err.count("notify.json does not exist"), 1);
        QVERIFY(alone.out.contains("one.test"));
        QCOMPARE(cli({S("query"), S("one.test"), S("--notify"), S("--fail-on-notify")}).status, 5);
    }

    void onlyBlockedFiguresSendTheBlockMessageAndNoDrop() {
        // Baidu refuses: its counts are "X" for a block, never a fall from the stored ones.
        for (const QByteArray prefix : {"/s?wd=domain%3A", "/s?wd=site%3A", "/"})
            fx->services.setRoute(Role::Baidu, prefix, standin::Page{"Forbidden", 403});
        QVERIFY(test::writeFile(historyFilePath(), "[one.test]\r\n2010-5-12=99999999/99999999\r\n"));
        writeTargets(webhook(S("/hook")));
        const test::CliRun ran = cli({S("query"), S("one.test"), S("--notify"), S("--fail-on-drop")});
        QCOMPARE(ran.status, 0);
        QCOMPARE(robot->received().size(), 1);
        const QJsonObject sent = json(robot->received().first().body);
        QCOMPARE(sent.value(S("kind")).toString(), S("block"));
        QVERIFY(sent.value(S("drops")).toArray().isEmpty());
        QVERIFY(sent.value(S("text")).toString().contains(S("baidu")));
        QCOMPARE(sent.value(S("missing")).toObject().value(S("indexed.baidu")).toObject().value(S("blocked")).toInt(), 1);
        QVERIFY(sent.value(S("run")).toObject().value(S("blocked")).toInt() >= 2);
    }

    void aFailingTargetGivesFiveOnlyWhenAskedAndItsSecretStaysOut() {
        const QString secret = S("SECrunalert0077"), token = S("dingrunalert88");
        robot->answer("/ding", {{400, R"({"errcode":300001,"errmsg":"token is not exist"})"}});
        writeTargets(webhook(S("/hook")) + S(", {\"kind\": \"dingtalk\", \"url\": \"") +
                     robot->url(S("/ding?access_token=") + token) + S("\", \"secret\": \"") + secret + S("\"}"));
        const test::CliRun failed = cli({S("query"), S("one.test"), S("--notify"), S("--fail-on-notify")});
        QCOMPARE(failed.status, 5);
        QVERIFY2(failed.err.contains("dingtalk 127.0.0.1:") && failed.err.contains("300001"), failed.err.constData());
        for (const QString& hidden : {secret, token})
            QVERIFY(!failed.err.contains(hidden.toUtf8()) && !failed.out.contains(hidden.toUtf8()));
        QCOMPARE(cli({S("query"), S("one.test"), S("--notify")}).status, 0);
        // A drop says more than the alert about it that missed a target; a failed file more still.
        QCOMPARE(cli({S("query"), S("one.test"), S("--notify"), S("--fail-on-notify"), S("--fail-on-drop")}).status, 4);
        QVERIFY(QFile::remove(historyFilePath()) && QDir().mkpath(historyFilePath()));
        QCOMPARE(cli({S("query"), S("one.test"), S("--notify"), S("--fail-on-notify"), S("--fail-on-drop")}).status, 3);
    }
};

QTEST_MAIN(RunAlertsTest)
#include "qtest_runalerts.moc"
