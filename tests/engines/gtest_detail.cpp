#include <gtest/gtest.h>

#include <QTimer>
#include <map>
#include <memory>

#include "core/services.h"
#include "engines/detailcheck.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::toGbk;

namespace {

using zorvan::S;
using F = DetailField;

// The detail grid as a plain table, with the domain box beside it.
class TableSink final : public DetailSink {
  public:
    explicit TableSink(QString domain) : box(std::move(domain)) {}
    QString domain() const override { return box; }
    void setDomain(const QString& text) override {
        box = text;
        boxWrites.append(text);
    }
    QString field(DetailField f) const override {
        const auto it = fields.find(f);
        return it == fields.end() ? QString() : it->second;
    }
    void setField(DetailField f, const QString& text) override { fields[f] = text; }
    void enableTitleField() override { titleEnabled = true; }

    QString box;
    QStringList boxWrites;
    std::map<DetailField, QString> fields;
    bool titleEnabled = false;
};

// One click's check, to its end.
void runDetailCheck(TableSink& sink) {
    RequestSequencer requests;
    zorvan::runDetailCheck(requests, sink);
    test::waitFor([&] { return requests.isIdle(); }, 60000);
}

// One Baidu result page: the count wording, then the first result block.
QByteArray baiduPage(const QString& count, const QString& firstResult = QString()) {
    return toGbk(S("<html><body><p>") + count + S("</p>") + firstResult + S("</body></html>"));
}

QString firstResult(const QString& link, const QString& title, const QString& snapshot) {
    return S("<table id=\"1\"><tr><td><h3><a onmousedown=\"return c({'fm':'as'})\" href=\"") +
           link + S("\" target=\"_blank\">") + title + S("</a></h3><font size=-1>简介<br><span>") +
           snapshot + S(" </font> - <a href=\"http://cache/c?1\">百度快照</a></td></tr></table>");
}

QByteArray googlePage(const QString& count, const QString& cite = QString()) {
    QString text = S("<html><div id=resultStats>") + count + S("</div>");
    if (!cite.isNull()) text += S("<li><h3>x</h3><br><div><cite>") + cite + S("</cite></div>");
    return (text + S("</html>")).toUtf8();
}

class DetailTest : public ::testing::Test {
  protected:
    test::StandinFixture fx{1500};
    test::FakePlatform fake;

    void SetUp() override { fake.clock = QDateTime(QDate(2010, 5, 12), QTime(9, 5, 7)); }

    void baidu(const QString& domain, const QString& limit, const QByteArray& body) {
        fx.services.setRoute(Role::Baidu, (S("/s?wd=site%3A") + domain + limit).toUtf8(),
                             standin::Page{body, 200});
    }
    void google(const QByteArray& prefix, const QString& domain, const QByteArray& body) {
        fx.services.setRoute(Role::Google, prefix + domain.toUtf8(), standin::Page{body, 200});
    }
    void googleDay(const QString& d, const QByteArray& b) {
        google("/search?hl=zh-CN&newwindow=1&tbs=qdr%3Ad&q=site%3A", d, b);
    }
    void googleWeek(const QString& d, const QByteArray& b) { google("/search?q=site:", d, b); }
    void googleTotal(const QString& d, const QByteArray& b) {
        google("/search?hl=zh-CN&q=site%3A", d, b);
    }

    // A domain that Baidu and Google both know well, its home page first everywhere.
    void serveKnownDomain(const QString& d) {
        baidu(d, S("&lm=1"), baiduPage(S("百度一下，找到相关网页约1,230篇")));
        baidu(d, S("&lm=7"), baiduPage(S("找到相关结果约56个")));
        baidu(d, S("&lm=30"), baiduPage(S("没有找到")));
        baidu(d, QString(),
              baiduPage(S("百度一下，找到相关网页约12,345,678篇"),
                        firstResult(S("http://www.") + d + S("/"), S("<em>首页</em>标题"),
                                    S("www.") + d + S("/ 2010-5-11"))));
        googleDay(d, googlePage(S("找到约 1,230 条结果")));
        googleWeek(d, googlePage(S("获得 7 条结果")));
        googleTotal(d, googlePage(S("找到约 98,765 条结果"), S("www.") + d + S("/")));
    }

    static void check(TableSink& sink) {
        resetDetailFields(sink);
        runDetailCheck(sink);
    }
};

TEST_F(DetailTest, KnownDomainFillsBothRows) {
    serveKnownDomain(S("example.com"));
    TableSink sink(S("example.com"));
    sink.fields[F::BaiduTitle] = S("old");
    check(sink);

    EXPECT_EQ(sink.field(F::BaiduDay), S("约1,230"));  // wording 1, separators kept
    EXPECT_EQ(sink.field(F::BaiduWeek), S("约56"));    // wording 2 alone
    EXPECT_EQ(sink.field(F::BaiduMonth), S("0"));      // neither
    EXPECT_EQ(sink.field(F::BaiduTotal), S("约12345678"));
    EXPECT_EQ(sink.field(F::BaiduSnapshot), S("2010-5-11"));
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("首页第一"));
    EXPECT_EQ(sink.field(F::BaiduTitle), S("<em>首页</em>标题"));
    EXPECT_TRUE(sink.titleEnabled);

    EXPECT_EQ(sink.field(F::GoogleDay), S("1,230"));
    EXPECT_EQ(sink.field(F::GoogleWeek), S("7"));
    EXPECT_EQ(sink.field(F::GoogleMonth), S("49"));
    EXPECT_EQ(sink.field(F::GoogleTotal), S("98,765"));
    EXPECT_EQ(sink.field(F::GoogleHomeFirst), S("首页第一"));
    EXPECT_EQ(sink.field(F::GoogleLatest), S("2010-5-12"));
    EXPECT_TRUE(sink.boxWrites.isEmpty());
}

TEST_F(DetailTest, RequestsGoOutInOrder) {
    serveKnownDomain(S("example.com"));
    // A total page that declares its charset costs three requests of the same address.
    baidu(S("example.com"), QString(),
          toGbk(S("<meta content=\"text/html; charset=gb2312\">百度一下，找到相关网页约9篇")));
    TableSink sink(S("example.com"));
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduTotal), S("约9"));

    QList<QByteArray> targets;
    for (const auto& entry : fx.services.log())
        targets.append(entry.role.toUtf8() + ' ' + entry.target);
    const QList<QByteArray> expected = {
        "baidu /s?wd=site%3Aexample.com&lm=1",
        "baidu /s?wd=site%3Aexample.com&lm=7",
        "baidu /s?wd=site%3Aexample.com&lm=30",
        "baidu /s?wd=site%3Aexample.com",
        "baidu /s?wd=site%3Aexample.com",
        "baidu /s?wd=site%3Aexample.com",
        "baidu /s?wd=site%3Aexample.com",
        "google /search?hl=zh-CN&newwindow=1&tbs=qdr%3Ad&q=site%3Aexample.com",
        "google /search?q=site:example.com&hl=zh-CN&1&safe=1&tbs=qdr:w&sa",
        "google /search?hl=zh-CN&q=site%3Aexample.com",
    };
    EXPECT_EQ(targets, expected);
    // One after another, never overlapping.
    const auto log = fx.services.log();
    for (size_t i = 1; i < log.size(); ++i) EXPECT_LE(log[i - 1].endMs, log[i].startMs);
}

TEST_F(DetailTest, TotalFallsBackToSecondWordingThenToZero) {
    const QString d = S("example.com");
    baidu(d, QString(), baiduPage(S("找到相关结果约4,321个")));
    TableSink sink(d);
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduTotal), S("约4321"));
    // Two value fetches of one request each (no declaration), then the first-result page.
    EXPECT_EQ(fx.services.targets(Role::Baidu).size(), 3 + 2 + 1);

    baidu(d, QString(), baiduPage(S("没有结果")));
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduTotal), S("0"));
    EXPECT_EQ(sink.field(F::BaiduDay), S("0"));
    EXPECT_EQ(sink.field(F::BaiduSnapshot), S("0"));
}

TEST_F(DetailTest, FirstResultElsewhereIsNotTheHomePage) {
    const QString d = S("example.com");
    baidu(d, QString(),
          baiduPage(S("百度一下，找到相关网页3篇"),
                    firstResult(S("http://blog.other.net/a/page.html"), S("别人的页面"),
                                S("no snapshot here"))));
    googleTotal(d, googlePage(S("获得 3 条"), S("blog.other.net/a")));
    TableSink sink(d);
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("不在第一位"));
    EXPECT_EQ(sink.field(F::BaiduTitle), S("标题无法获取"));
    EXPECT_EQ(sink.field(F::BaiduSnapshot), S("0"));  // no "/ " in the block
    EXPECT_EQ(sink.field(F::GoogleHomeFirst), S("不在第一"));
    EXPECT_EQ(sink.field(F::GoogleTotal), S("3"));

    // The bare domain (no www.) is the home page too; a longer host that merely ends with it is
    // not.
    baidu(d, QString(),
          baiduPage(QString(), firstResult(S("http://example.com/"), S("T"), S("x/ 1 "))));
    googleTotal(d, googlePage(S("获得 3 条"), S("example.com/")));
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("首页第一"));
    EXPECT_EQ(sink.field(F::BaiduTitle), S("T"));
    EXPECT_EQ(sink.field(F::GoogleHomeFirst), S("首页第一"));
    baidu(d, QString(),
          baiduPage(QString(), firstResult(S("http://wwwexample.com/"), S("T"), S("x"))));
    googleTotal(d, googlePage(S("获得 3 条"), S("www.example.com.cn/")));
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("不在第一位"));
    EXPECT_EQ(sink.field(F::GoogleHomeFirst), S("不在第一"));
}

TEST_F(DetailTest, PageWithoutFirstResultNeverReusesThePreviousDomainsPage) {
    serveKnownDomain(S("a.com"));
    TableSink sink(S("a.com"));
    check(sink);
    ASSERT_EQ(sink.field(F::BaiduHomeFirst), S("首页第一"));
    ASSERT_EQ(sink.field(F::GoogleHomeFirst), S("首页第一"));

    // b.com's pages hold counts but no first-result block and no cite marker. The old page named
    // www.a.com, so a check that fell back to it with the box at "a.com" again must still refuse.
    const QString d = S("b.com");
    baidu(d, QString(), baiduPage(S("百度一下，找到相关网页2篇")));
    googleTotal(d, googlePage(S("获得 2 条")));
    sink.box = d;
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduSnapshot), S("0"));
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("不在第一位"));
    EXPECT_EQ(sink.field(F::BaiduTitle), S("标题无法获取"));
    EXPECT_EQ(sink.field(F::GoogleHomeFirst), S("不在第一"));

    fx.services.clearRoutes();
    sink.box = S("a.com");
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("不在第一位"));
    EXPECT_EQ(sink.field(F::GoogleHomeFirst), S("不在第一"));

    // An empty box against pages with nothing on them: nothing found is not the home page.
    sink.box.clear();
    check(sink);
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("不在第一位"));
    EXPECT_EQ(sink.field(F::GoogleHomeFirst), S("不在第一"));
    EXPECT_EQ(fx.services.targets(Role::Baidu).last(), QByteArray("/s?wd=site%3A"));
}

TEST_F(DetailTest, GoogleFallbacksAndTodaysDate) {
    const QString d = S("example.com");
    googleDay(d, googlePage(S("没有结果")));
    googleWeek(d, googlePage(S("找到约 1,230 条")));
    TableSink sink(d);
    check(sink);
    EXPECT_EQ(sink.field(F::GoogleDay), S("0或小于10页"));
    EXPECT_EQ(sink.field(F::GoogleLatest), S("今日无快照"));
    EXPECT_EQ(sink.field(F::GoogleWeek), S("1,230"));
    EXPECT_EQ(sink.field(F::GoogleMonth), S("8610"));
    EXPECT_EQ(sink.field(F::GoogleTotal), S("收录0页"));

    googleDay(d, googlePage(S("获得 4 条")));
    googleWeek(d, googlePage(S("nothing")));
    fake.clock = QDateTime(QDate(2026, 12, 8), QTime(23, 59));
    check(sink);
    EXPECT_EQ(sink.field(F::GoogleDay), S("4"));
    EXPECT_EQ(sink.field(F::GoogleLatest), S("2026-12-8"));
    EXPECT_EQ(sink.field(F::GoogleWeek), S("收录0页"));
    EXPECT_EQ(sink.field(F::GoogleMonth), S("收录0页"));
}

TEST_F(DetailTest, CapitalisedDomainIsLowerCasedBeforeTheFirstRequest) {
    TableSink sink(S("Example.COM"));
    check(sink);
    EXPECT_EQ(sink.boxWrites, QStringList{S("example.com")});
    for (const auto& entry : fx.services.log())
        EXPECT_TRUE(entry.target.contains("example.com")) << entry.target.toStdString();

    sink.boxWrites.clear();
    sink.box = S("eXample.com");
    check(sink);
    EXPECT_TRUE(sink.boxWrites.isEmpty());
    EXPECT_EQ(fx.services.targets(Role::Google).last(),
              QByteArray("/search?hl=zh-CN&q=site%3AeXample.com"));

    sink.box = S("Ärger.de");  // only A to Z count
    check(sink);
    EXPECT_TRUE(sink.boxWrites.isEmpty());
}

TEST_F(DetailTest, WithoutTheResetPreviousValuesStand) {
    // Activated from the keyboard: no reset, so the second wording is not tried where a value
    // from before stands, and the final pass only replaces what happens to be "-".
    const QString d = S("example.com");
    baidu(d, S("&lm=7"), baiduPage(S("找到相关结果约56个")));
    TableSink sink(d);
    sink.fields = {{F::BaiduWeek, S("0")}, {F::BaiduDay, S("-")}, {F::GoogleWeek, S("12")}};
    runDetailCheck(sink);
    EXPECT_EQ(sink.field(F::BaiduWeek), S("0"));
    EXPECT_EQ(sink.field(F::BaiduDay), S("0"));
    EXPECT_EQ(sink.field(F::GoogleWeek), S("12"));
    EXPECT_EQ(sink.field(F::GoogleMonth), S("84"));
    EXPECT_EQ(sink.field(F::BaiduMonth), QString());  // never reset, never found
}

TEST_F(DetailTest, FailingServicesLeaveTheFixedTexts) {
    fx.services.setFailure(Role::Baidu, standin::Failure::ServerError);
    fx.services.setFailure(Role::Google, standin::Failure::Refuse);
    TableSink sink(S("example.com"));
    check(sink);
    for (const F f : {F::BaiduDay, F::BaiduWeek, F::BaiduMonth, F::BaiduTotal, F::BaiduSnapshot})
        EXPECT_EQ(sink.field(f), S("0")) << int(f);
    EXPECT_EQ(sink.field(F::BaiduHomeFirst), S("不在第一位"));
    EXPECT_EQ(sink.field(F::GoogleDay), S("0或小于10页"));
    for (const F f : {F::GoogleWeek, F::GoogleMonth, F::GoogleTotal})
        EXPECT_EQ(sink.field(f), S("收录0页")) << int(f);
    EXPECT_EQ(sink.field(F::GoogleLatest), S("今日无快照"));
}

TEST_F(DetailTest, TargetGoneDuringAFetchStopsTheCheck) {
    serveKnownDomain(S("example.com"));
    fx.services.setLatency(Role::Baidu, 300);
    TableSink sink(S("example.com"));
    resetDetailFields(sink);
    auto requests = std::make_unique<RequestSequencer>();
    zorvan::runDetailCheck(*requests, sink);
    test::waitFor([&] { return fx.services.log(Role::Baidu).size() == 1; });
    requests.reset();
    // Once the waiting answer is out, a live check would ask again at once; nothing can signal
    // that it did not, so the loop is served a little longer.
    test::waitFor([&] { return fx.services.log(Role::Baidu).front().endMs >= 0; });
    test::waitFor([] { return false; }, 200);
    EXPECT_EQ(fx.services.targets(Role::Baidu).size(), 1);
    EXPECT_TRUE(fx.services.targets(Role::Google).isEmpty());
    EXPECT_EQ(sink.field(F::BaiduDay), S("-"));
}

TEST(DetailFigures, GoogleCountPrefersTheAboutWording) {
    EXPECT_EQ(detail::googleCount(S("获得 5 条 找到约 1,230 条")), S("1,230"));
    EXPECT_EQ(detail::googleCount(S("获得 7 条")), S("7"));
    EXPECT_EQ(detail::googleCount(S("找到约 12")), S("12"));  // no end: the rest of the page
    EXPECT_EQ(detail::googleCount(S("找到约  条")),
              QString(S("")));                                 // an empty count is still found
    EXPECT_FALSE(detail::googleCount(S("找到约 ")));           // start marker last: nothing
    EXPECT_FALSE(detail::googleCount(S("找到约1,230 获得")));  // "找到约" without its space
}

TEST(DetailFigures, MonthEstimateIsSevenWeeks) {
    EXPECT_EQ(detail::monthEstimate(S("1,230")), S("8610"));
    EXPECT_EQ(detail::monthEstimate(S("  12 ")), S("84"));
    EXPECT_EQ(detail::monthEstimate(S("1,234,567,890")), S("8641975230"));
    EXPECT_EQ(detail::monthEstimate(S("1.5")), S("10.5"));
    EXPECT_EQ(detail::monthEstimate(S("0")), S("0"));
    for (const char* no : {"-", "", "约12", "收录0页", "1 2", "inf", "nan", "1e400", ","})
        EXPECT_FALSE(detail::monthEstimate(S(no))) << no;
}

}  // namespace
