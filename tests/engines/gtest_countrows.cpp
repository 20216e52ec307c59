#include <gtest/gtest.h>

#include "chainwait.h"
#include "core/services.h"
#include "engines/countrows.h"
#include "engines/pagerank.h"
#include "engines/quicklinks.h"
#include "fakeplatform.h"
#include "net/fetch.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::toGbk;

namespace {

using zorvan::S;

const CountRow& row(const QString& id) {
    for (const auto* batch :
         {&windowBatchRows(), &engineBatchRows(), &youdaoBatchRows(), &sogouYahooBatchRows()})
        for (const CountRow& r : *batch)
            if (r.id == id) return r;
    throw std::runtime_error("no such row");
}

QString RunCountRow(const CountRow& row, const QString& domain) {
    return test::awaitChain<ValueResult>([&](const Chain& chain, auto done) {
               runCountRowAsync(chain, builtinRules()[row.figure], domain, done);
           })
        .text;
}

QString PageRankLookup(const QString& domain) {
    return test::awaitChain<ValueResult>([&](const Chain& chain, auto done) {
               pageRankLookupAsync(chain, builtinRules()[Figure::PageRank], domain, done);
           })
        .text;
}

class CountRowsTest : public ::testing::Test {
  protected:
    test::StandinFixture fx{1500};
    const QString domain = S("example.com");

    void serve(const QString& role, const QByteArray& prefix, const QString& text,
               bool gbk = true) {
        fx.services.setRoute(role, prefix, standin::Page{gbk ? toGbk(text) : text.toUtf8(), 200});
    }
};

// Each row's page as the service words it, and the text its field shows.
TEST_F(CountRowsTest, EveryRowCutsItsValueFromItsOwnAddress) {
    struct Case {
        const char* id;
        const char* expectedTarget;
        const char* page;
        const char* shown;
    };
    const Case cases[] = {
        {"W1", "/overview/Info.do?url=example.com", "<b class=\"_font_y2\">2010-5-12</b>",
         "2010-5-12"},
        {"W2", "/siteinfo/example.com", "<img style=\"margin-bottom:-2px;\"/>1,234</a></div>",
         "1234"},
        {"W3", "/sogourank.php?ur=example.com", "x sogourank=5\r\n", "5\r\n"},
        {"W4", "/q?w=link%3Aexample.com", "搜索到约1,000项", "约1000"},
        {"W5", "/search?q=site%3Aexample.com", "结果(共 23,400 条)", " 23400 "},
        {"W6", "/search?bwm=p&p=example.com", "收录的网页： 共 <strong>8,901</strong> 条", "8901"},
        {"E2", "/search?q=link%3Aexample.com", "结果(共1,020条", "1020"},
        {"E4", "/search?hl=zh-CN&q=site%3Aexample.com", "找到约 45,600 条结果", "约 45600 "},
        {"E5", "/search?hl=zh-CN&q=link%3Aexample.com", "找到 320 条", " 320 "},
        {"E6", "/q?w=site%3Aexample.com", "搜索到2,340项", "2340"},
        {"Y1", "/search?q=site%3Aexample.com", "共 5,432 条", " 5432 "},
        {"Y2", "/search?q=inlink%3Aexample.com", "共876条", "876"},
        {"S1", "/web?query=site%3Aexample.com", "找到约 9,870 条结果<!--resultbarnum-->",
         "约 9870 条结果"},
        {"S2", "/search?bwm=i&p=example.com", "链向该地址的网页： 共 <strong>2,345</strong> 条",
         "2345"},
        {"S3", "/web?query=link%3Aexample.com", "找到 15 条<!--resultbarn", " 15 条"},
    };
    for (const Case& c : cases) {
        const CountRow& r = row(S(c.id));
        fx.services.clearRoutes();
        fx.services.clearLog();
        serve(r.role, c.expectedTarget, S(c.page));
        EXPECT_EQ(RunCountRow(r, domain), S(c.shown)) << c.id;
        EXPECT_EQ(fx.services.targets(r.role), QList<QByteArray>{c.expectedTarget}) << c.id;
    }
}

TEST_F(CountRowsTest, MissingMarkerOrDeadServiceGivesX) {
    serve(Role::Google, "/", S("<html>no count</html>"));
    EXPECT_EQ(RunCountRow(row(S("E4")), domain), NotFoundMark);
    fx.services.setFailure(Role::Youdao, standin::Failure::Refuse);
    EXPECT_EQ(RunCountRow(row(S("Y1")), domain), NotFoundMark);
}

TEST_F(CountRowsTest, BaiduFirstWordingNeedsOneRequest) {
    serve(Role::Baidu, "/", S("找到相关网页约3,450篇"));
    EXPECT_EQ(RunCountRow(row(S("E1")), domain), S("约3450"));
    EXPECT_EQ(fx.services.targets(Role::Baidu).size(), 1);
}

TEST_F(CountRowsTest, BaiduSecondWordingFetchesThePageAgain) {
    serve(Role::Baidu, "/", S("百度为您找到相关结果约12,300个"));
    EXPECT_EQ(RunCountRow(row(S("E3")), domain), S("约12300"));
    EXPECT_EQ(fx.services.targets(Role::Baidu),
              (QList<QByteArray>{"/s?wd=site%3Aexample.com", "/s?wd=site%3Aexample.com"}));

    // A declared charset costs three requests per value fetch: three for each wording.
    fx.services.clearLog();
    serve(Role::Baidu, "/", S("<meta charset=gb2312\">相关结果约7个"));
    EXPECT_EQ(RunCountRow(row(S("E1")), domain), S("约7"));
    EXPECT_EQ(fx.services.targets(Role::Baidu).size(), 6);

    fx.services.clearLog();
    serve(Role::Baidu, "/", S("nothing"));
    EXPECT_EQ(RunCountRow(row(S("E1")), domain), NotFoundMark);
    EXPECT_EQ(fx.services.targets(Role::Baidu).size(), 2);
}

TEST_F(CountRowsTest, PageRankReadsTheRankFrame) {
    const QString frame = S("<iframe src=\"http://") + serviceHost(Role::PageRank) +
                          S("/rank.php?q=http://example.com\">");
    serve(Role::PageRank, "/?PRAddress=", frame, false);
    const struct {
        const char* answer;
        QString shown;
    } cases[] = {
        {"Rank_1:1:5", S("5")},
        {"Rank_1:2:5", S("0")},
        {"Rank_1:1:7\n", S("7\n")},
        {"no rank here", NotFoundMark},
    };
    for (const auto& c : cases) {
        fx.services.clearLog();
        serve(Role::PageRank, "/rank.php", S(c.answer), false);
        EXPECT_EQ(PageRankLookup(S("example.com")), c.shown) << c.answer;
        const auto targets = fx.services.targets(Role::PageRank);
        ASSERT_EQ(targets.size(), 2);
        EXPECT_EQ(targets[0], QByteArray("/?PRAddress=example.com"));
        // The frame address is rebuilt for the domain: it ends with "http://" + domain + "/".
        EXPECT_EQ(targets[1], QByteArray("/rank.php?q=http://example.com/"));
    }
    serve(Role::PageRank, "/?PRAddress=", S("<html>no frame</html>"), false);
    EXPECT_EQ(PageRankLookup(S("example.com")), NotFoundMark);
}

TEST(QuickLinks, EveryFigureButPageRankOpensItsPage) {
    applyServiceOverrides(
        S("youdao=yd.test\nbaidu=bd.test\ngoogle=gg.test\nyahoo=yh.test\nsogou=sg.test\n"
          "soso=ss.test\nbing=by.test\nalexa=ax.test\n"));
    test::FakePlatform fake;
    const auto link = quickLink(Figure::BacklinksYoudao);
    ASSERT_TRUE(link.has_value());
    OpenQueryUrl(link->prefix, S("example.com"));
    ASSERT_EQ(fake.openedAddresses(),
              QStringList{S("http://yd.test/search?q=inlink%3Aexample.com")});
    // Every link, as the table of quick links gives it.
    const QList<QPair<Figure, const char*>> links = {
        {Figure::IndexedBaidu, "http://bd.test/s?wd=site%3A"},
        {Figure::IndexedGoogle, "http://gg.test/search?hl=zh-CN&q=site%3A"},
        {Figure::IndexedYahoo, "http://yh.test/search?bwm=p&p="},
        {Figure::IndexedSogou, "http://sg.test/web?query=site%3A"},
        {Figure::IndexedSoso, "http://ss.test/q?w=site%3A"},
        {Figure::IndexedBing, "http://by.test/search?q=site%3A"},
        {Figure::IndexedYoudao, "http://yd.test/search?q=site%3A"},
        {Figure::BacklinksBaidu, "http://bd.test/s?wd=domain%3A"},
        {Figure::BacklinksGoogle, "http://gg.test/search?hl=zh-CN&q=link%3A"},
        {Figure::BacklinksYahoo, "http://yh.test/search?bwm=i&p="},
        {Figure::BacklinksSogou, "http://sg.test/web?query=link%3A"},
        {Figure::BacklinksSoso, "http://ss.test/q?w=link%3A"},
        {Figure::BacklinksBing, "http://by.test/search?q=link%3A"},
        {Figure::BacklinksYoudao, "http://yd.test/search?q=inlink%3A"},
        {Figure::BaiduSnapshot, "http://bd.test/s?wd="},
        {Figure::AlexaRank, "http://ax.test/siteinfo/"},
        {Figure::SogouRank, "http://sg.test/web?query=link%3A"},
    };
    for (const auto& [figure, prefix] : links) {
        ASSERT_TRUE(quickLink(figure).has_value()) << figureInfo(figure).key.toStdString();
        EXPECT_EQ(quickLink(figure)->prefix, S(prefix)) << figureInfo(figure).key.toStdString();
    }
    EXPECT_EQ(hostAreaLink().prefix, S("http://gg.test/search?hl=zh-CN&q=link%3A"));
    EXPECT_FALSE(quickLink(Figure::PageRank).has_value());
    reloadServices();
}

}  // namespace
