#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "net/fetch.h"
#include "net/proxies.h"
#include "notify/delivery.h"
#include "notify/runcollector.h"
#include "proxy.h"
#include "robotreceiver.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using zorvan::test::RobotReceiver;

namespace {

QList<DeliveryResult> deliver(const QList<NotifyTarget>& targets, const Alert& alert,
                              const RunSummary* summary = nullptr) {
    std::optional<QList<DeliveryResult>> results;
    QObject context;
    deliverAsync(targets, alert, summary, &context,
                 [&](const QList<DeliveryResult>& r) { results = r; }, {3000, {10, 20}});
    zorvan::test::waitFor([&] { return results.has_value(); }, 60000);
    return results.value_or(QList<DeliveryResult>());
}

FigureDrop drop(Figure figure, qint64 from, qint64 to) {
    return {figure, from, to, QStringLiteral("2026-12-7")};
}

}  // namespace

TEST(Notify, EachPlatformGetsItsOwnBodyAndAValidSignature) {
    RobotReceiver robot;
    const QString secret = QStringLiteral("SEC0123456789abcdef");
    const QList<NotifyTarget> targets{
        {TargetKind::WeCom, robot.url(QStringLiteral("/wecom?key=robotkey123")), {}},
        {TargetKind::DingTalk, robot.url(QStringLiteral("/ding?access_token=tok456789")), secret},
        {TargetKind::Feishu, robot.url(QStringLiteral("/feishu/hook-abcdef")), secret},
        {TargetKind::Webhook, robot.url(QStringLiteral("/hook")), {}},
    };
    RunSummary run;
    run.domains = 3;
    run.saved = 3;
    run.figures = 54;
    run.drops = {{QStringLiteral("a.example"), {drop(Figure::IndexedBaidu, 8888, 5777)}}};
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const auto results = deliver(targets, alertsForRun(run).value(0), &run);
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    ASSERT_EQ(results.size(), 4);
    for (const auto& r : results)
        EXPECT_TRUE(r.delivered) << r.target.toStdString() << r.answer.toStdString();

    const auto received = robot.received();
    ASSERT_EQ(received.size(), 4);
    for (const auto& r : received) {
        const QJsonObject body = QJsonDocument::fromJson(r.body).object();
        if (r.path == "/wecom") {
            EXPECT_EQ(body[u"msgtype"].toString(), u"markdown");
            EXPECT_TRUE(body[u"markdown"][u"content"].toString().contains(u"a.example"));
        } else if (r.path == "/ding") {
            EXPECT_EQ(body[u"msgtype"].toString(), u"markdown");
            EXPECT_FALSE(body[u"markdown"][u"title"].toString().isEmpty());
            EXPECT_TRUE(body[u"markdown"][u"text"].toString().contains(u"8888→5777"));
            EXPECT_EQ(r.query.find("access_token")->second, "tok456789");
            const qint64 t = std::stoll(r.query.find("timestamp")->second);
            EXPECT_GE(t, before);  // milliseconds, not seconds
            EXPECT_LE(t, after);
            EXPECT_EQ(QByteArray::fromStdString(r.query.find("sign")->second),
                      QByteArray::fromPercentEncoding(dingTalkSign(secret, t)));
        } else if (r.path == "/feishu/hook-abcdef") {
            EXPECT_EQ(body[u"msg_type"].toString(), u"text");
            EXPECT_TRUE(body[u"content"][u"text"].toString().contains(u"a.example"));
            const QString t = body[u"timestamp"].toString();
            EXPECT_GE(t.toLongLong(), before / 1000);
            EXPECT_LE(t.toLongLong(), after / 1000);
            EXPECT_EQ(body[u"sign"].toString().toLatin1(), feishuSign(secret, t.toLongLong()));
        } else {
            EXPECT_EQ(r.path, "/hook");
            EXPECT_EQ(body[u"run"][u"domains"].toInt(), 3);
            EXPECT_EQ(body[u"drops"][0][u"figure"].toString(), u"indexed.baidu");
            EXPECT_EQ(body[u"drops"][0][u"percent"].toInt(), 35);
        }
    }
}

// Each platform's signature for a fixed secret and time, as worked out apart from this code.
TEST(Notify, SignaturesMatchKnownAnswers) {
    const QString secret = QStringLiteral("SEC0123456789abcdef");
    EXPECT_EQ(dingTalkSign(secret, 1700000000000),
              QByteArray("TSZbRFUuvaSQaRKUpF970OPCb2%2FLcQAP3wOvwZIzBZk%3D"));
    EXPECT_EQ(feishuSign(secret, 1700000000),
              QByteArray("PiO7POLlSx/DM2qf8Dy/XCWeJK3exVnevp5G99LEN2M="));
}

TEST(Notify, AFailingTargetIsRetriedAndToldWithoutItsKeyOrSecret) {
    RobotReceiver robot;
    robot.answer("/ding",
                 {{200, R"({"errcode":310000,"errmsg":"sign not match, token tok456789"})"}});
    robot.answer("/down", {{502, "bad gateway"}, {200, R"({"errcode":0})"}});
    robot.answer("/gone", {{404, "no such robot"}});
    const QList<NotifyTarget> targets{
        {TargetKind::DingTalk, robot.url(QStringLiteral("/ding?access_token=tok456789")),
         QStringLiteral("SECsecret99")},
        {TargetKind::WeCom, robot.url(QStringLiteral("/down?key=k")), {}},
        {TargetKind::Webhook, robot.url(QStringLiteral("/gone")), {}},
    };
    const auto results = deliver(targets, testAlert(QDateTime::currentDateTime()));
    ASSERT_EQ(results.size(), 3);
    EXPECT_FALSE(results[0].delivered);
    EXPECT_EQ(results[0].attempts, 3);
    EXPECT_TRUE(results[0].answer.contains(u"310000"));
    EXPECT_FALSE(results[0].answer.contains(u"tok456789"));
    EXPECT_FALSE(results[0].target.contains(u"tok456789"));
    EXPECT_TRUE(results[1].delivered);  // a 5xx is asked again
    EXPECT_EQ(results[1].attempts, 2);
    EXPECT_FALSE(results[2].delivered);  // a 404 will not mend itself
    EXPECT_EQ(results[2].attempts, 1);
}

// A redirect would carry the alert, its signature and key wherever it points: never followed.
TEST(Notify, ARedirectIsAFailureNamingItsHostAndIsNotFollowed) {
    RobotReceiver robot;
    const std::string elsewhere = robot.url(QStringLiteral("/taken?key=k")).toStdString();
    robot.answer("/moved", {{301, "", elsewhere}});
    robot.answer("/kept", {{307, "", elsewhere}});
    for (const DeliveryResult& r :
         deliver({{TargetKind::Webhook, robot.url(QStringLiteral("/moved")), {}},
                  {TargetKind::Webhook, robot.url(QStringLiteral("/kept")), {}}},
                 testAlert(QDateTime::currentDateTime()))) {
        EXPECT_FALSE(r.delivered);
        EXPECT_EQ(r.attempts, 1);
        EXPECT_TRUE(r.answer.contains(u"redirected to 127.0.0.1")) << r.answer.toStdString();
        EXPECT_FALSE(r.answer.contains(u"key=k"));
    }
    EXPECT_EQ(robot.received().size(), 2);
}

// Alerts take the proxies queries take: past a dead first proxy to a live one.
TEST(Notify, AnAlertLeavesThroughALiveProxyWhenTheFirstIsDead) {
    RobotReceiver robot;
    standin::Proxy dead, live;
    ASSERT_TRUE(dead.start() && live.start());
    const int deadPort = dead.port();
    dead.stop();
    QString why;
    useProxyList({{*parseProxyLine(QStringLiteral("http://127.0.0.1:%1").arg(deadPort), &why),
                   *parseProxyLine(QStringLiteral("http://127.0.0.1:%1").arg(live.port()), &why)},
                  {},
                  true});
    const auto results = deliver({{TargetKind::Webhook, robot.url(QStringLiteral("/hook")), {}}},
                                 testAlert(QDateTime::currentDateTime()));
    useProxyList({});
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].delivered) << results[0].answer.toStdString();
    EXPECT_EQ(live.carried().size(), 1u);
    EXPECT_EQ(robot.received().size(), 1);
}

namespace {

// Ten domains whose figures all came but those given: each of them "X" for its reason.
RunSummary tenDomains(const QList<std::pair<Figure, Verdict>>& missing, int missingDomains = 10) {
    RunCollector run(QDateTime::currentDateTime());
    for (int d = 0; d < 10; ++d) {
        FigureValues values;
        FigureVerdicts verdicts{};
        for (const FigureInfo& f : figureTable()) values[f.figure] = QStringLiteral("1");
        for (const auto& [figure, verdict] : missing) {
            if (d >= missingDomains) break;
            values[figure] = NotFoundMark;
            verdicts[size_t(figure)] = verdict;
        }
        run.domainDone(QStringLiteral("d%1.example").arg(d), values, verdicts, {}, true);
    }
    return run.finish(QDateTime::currentDateTime());
}

}  // namespace

// A service is in trouble by its own figures, not the run's: one figure of eighteen blocked on
// every domain is all of that service.
TEST(Notify, BlocksAreCountedPerServiceAndAreNeverDrops) {
    const auto alerts = alertsForRun(tenDomains({{Figure::AlexaRank, Verdict::Blocked}}));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].kind, AlertKind::Block);
    EXPECT_TRUE(
        alerts[0].text(false, 4096).contains(u"alexa_rank：被拦截 10 项，无应答 0 项（共 10 项）"))
        << alerts[0].text(false, 4096).toStdString();

    // Baidu's three figures of one domain: a tenth of its thirty exactly is quiet, more is news;
    // a figure that is simply not found is no trouble of the service.
    const QList<std::pair<Figure, Verdict>> baidu = {{Figure::IndexedBaidu, Verdict::NoAnswer},
                                                     {Figure::BacklinksBaidu, Verdict::Blocked},
                                                     {Figure::BaiduSnapshot, Verdict::NoAnswer}};
    EXPECT_TRUE(alertsForRun(tenDomains(baidu, 1)).isEmpty());
    EXPECT_TRUE(alertsForRun(tenDomains({{Figure::IndexedBing, Verdict::NotFound}})).isEmpty());
    EXPECT_EQ(alertsForRun(
                  tenDomains(baidu + QList{std::pair{Figure::IndexedBing, Verdict::NotFound}}, 2))
                  .size(),
              1);
}

TEST(Notify, ARunWhoseProxiesAllDiedIsNews) {
    QList<std::pair<Figure, Verdict>> unasked;
    for (const FigureInfo& f : figureTable()) unasked.append({f.figure, Verdict::NoProxy});
    const auto alerts = alertsForRun(tenDomains(unasked));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].kind, AlertKind::Block);
    EXPECT_TRUE(alerts[0].text(false, 4096).contains(u"代理全部失效未查询"));
}

TEST(Notify, ADropMessageListsTheWorstTwentyAndFitsWeCom) {
    RunSummary run;
    run.figures = 25 * 18;
    for (int i = 0; i < 25; ++i)
        run.drops.append({QStringLiteral("site-%1-%2.example").arg(i).arg(QString(60, u'x')),
                          {drop(Figure::IndexedBaidu, 1000, 1000 - 20 * i - 200),
                           drop(Figure::BacklinksBing, 500, 300)}});
    const auto alerts = alertsForRun(run);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].kind, AlertKind::Drop);
    EXPECT_TRUE(alerts[0].domainLines[0].startsWith(u"site-24-"));  // the steepest fall first
    const QString wecom = alerts[0].text(true, messageByteLimit(TargetKind::WeCom));
    EXPECT_LE(wecom.toUtf8().size(), 4096);
    const QString full = alerts[0].text(true, 1 << 20);
    EXPECT_EQ(full.count(u"\n- "), 20);
    EXPECT_TRUE(full.contains(u"另有 5 个域名"));
    const int listed = int(wecom.count(u"\n- "));
    EXPECT_LT(listed, 20);
    EXPECT_TRUE(wecom.contains(QStringLiteral("另有 %1 个域名").arg(25 - listed)));
}

TEST(Notify, BadTargetsAreToldAndSkipped) {
    const auto loaded = parseNotifyFile(R"({"targets": [
        {"kind": "wecom", "url": "https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=K1"},
        {"kind": "slack", "url": "https://hooks.example/x"},
        {"kind": "dingtalk", "url": "ftp://oapi.dingtalk.com/robot/send?access_token=T2"},
        {"kind": "feishu", "url": "https://open.feishu.cn/open-apis/bot/v2/hook/H3", "secret": 42},
        "webhook",
        {"kind": "webhook", "url": "http://127.0.0.1:8080/in"}]})",
                                        QStringLiteral("notify.json"));
    ASSERT_EQ(loaded.targets.size(), 2);
    EXPECT_EQ(loaded.targets[1].label(), u"webhook 127.0.0.1:8080");
    ASSERT_EQ(loaded.problems.size(), 4);
    EXPECT_EQ(loaded.problems[0].entry, 2);
    for (const auto& p : loaded.problems) {
        const QString told = describeNotifyProblem(p);
        EXPECT_TRUE(told.startsWith(u"notify.json: target ")) << told.toStdString();
        EXPECT_FALSE(told.contains(u"T2") || told.contains(u"H3")) << told.toStdString();
    }
    EXPECT_EQ(parseNotifyFile("{\"targets\": [", QStringLiteral("n.json")).problems.size(), 1);
}

// notify.json's "report_url" reaches the messages a run sends, in every platform's text.
TEST(Notify, AlertsLinkThePublishedReport) {
    const auto loaded = parseNotifyFile(
        R"({"report_url": "https://intra.example/zorvan/", "targets": []})", S("notify.json"));
    EXPECT_TRUE(loaded.problems.isEmpty());
    RunSummary run;
    run.figures = 18;
    run.drops.append({S("a.example"), {drop(Figure::IndexedBaidu, 1000, 100)}});
    run.reportUrl = loaded.reportUrl;
    const auto alerts = alertsForRun(run);
    ASSERT_EQ(alerts.size(), 1);
    for (const Alert& a : alerts)
        for (const bool markdown : {true, false})
            EXPECT_TRUE(a.text(markdown, 4096).contains(u"https://intra.example/zorvan/"));
}
