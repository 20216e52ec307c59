// The combined query engine on its own: what a silent service and the query's deadline do.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "core/services.h"
#include "engines/queryengine.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

class QueryEngineTest : public ::testing::Test {
  protected:
    test::StandinFixture fx{1500};
    CombinedQueryEngine engine;
    int batches = 0;
    bool finished = false;

    void SetUp() override {
        ASSERT_GT(
            fx.services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes")), 0);
        QObject::connect(&engine, &CombinedQueryEngine::batchDone, [this] { ++batches; });
        QObject::connect(&engine, &CombinedQueryEngine::finished, [this] { finished = true; });
    }
    void run() {
        engine.start(S("sample.net"));
        ASSERT_TRUE(test::waitFor([this] { return finished; }, 30000));
        EXPECT_EQ(batches, 4);
    }
};

}  // namespace

TEST_F(QueryEngineTest, ASilentHostIsAskedOnceAndItsOtherRowsGiveXAtOnce) {
    fx.services.setFailure(Role::Baidu, standin::Failure::NeverAnswer);
    run();
    // E1 waited out its limit; its second wording and E3 (both wordings) asked nobody.
    EXPECT_EQ(fx.services.log(Role::Baidu).size(), 1u);
    for (Figure f : {Figure::BacklinksBaidu, Figure::IndexedBaidu}) {
        EXPECT_EQ(engine.values()[f], NotFoundMark);
        EXPECT_EQ(engine.result(f).verdict, Verdict::NoAnswer);
        EXPECT_EQ(verdictReason(engine.result(f)), S("服务无应答（超时）"));
    }
    // Hosts that answered are asked as usual.
    EXPECT_EQ(engine.values()[Figure::IndexedGoogle], S("约 45600 "));
    EXPECT_EQ(engine.values()[Figure::BacklinksYoudao], S(" 876 "));
    EXPECT_EQ(engine.values()[Figure::PageRank], S("4"));
}

TEST_F(QueryEngineTest, TheDeadlineEndsTheWholeQueryWithXForEveryRowLeft) {
    FetchOptions limits = defaultFetchOptions();
    limits.timeoutMs = 20000;
    setDefaultFetchOptions(limits);
    fx.services.setLatency(QString(), 400);
    engine.setDeadlineMs(1000);
    run();
    // Far fewer requests than the query has rows: the rest were never asked.
    EXPECT_LT(fx.services.log().size(), 10u);
    int unanswered = 0;
    for (const FigureInfo& f : figureTable()) {
        if (engine.values()[f.figure] == NotFoundMark) {
            ++unanswered;
            EXPECT_EQ(engine.result(f.figure).verdict, Verdict::NoAnswer) << f.key.toStdString();
        } else {
            EXPECT_NE(engine.values()[f.figure], Pending) << f.key.toStdString();
        }
    }
    EXPECT_GT(unanswered, 10);
}

TEST_F(QueryEngineTest, EveryMissingFigureTellsWhy) {
    fx.services.setFailure(Role::Baidu, standin::Failure::NeverAnswer);
    fx.services.setRoute(Role::Sogou, "/web?query=site%3A",
                         standin::Page{test::toGbk(S("<html>请输入验证码</html>")), 200});
    fx.services.setRoute(Role::Bing, "/search?q=link%3A", S("<html>nothing here</html>"));
    run();
    const QMap<Figure, Verdict> expected{{Figure::IndexedBaidu, Verdict::NoAnswer},
                                         {Figure::BacklinksBaidu, Verdict::NoAnswer},
                                         {Figure::IndexedSogou, Verdict::Blocked},
                                         {Figure::BacklinksBing, Verdict::NotFound}};
    EXPECT_EQ(missingReasons(engine), expected);
}
