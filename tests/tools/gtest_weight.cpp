#include <gtest/gtest.h>

#include "net/fetch.h"
#include "tools/keywordrank.h"
#include "tools/weight.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;
const QString Red = QStringLiteral("<span style=\"color:#F00\">");

TEST(WeightFigures, CutEachFigureByItsMarkers) {
    const QString page = S("<p>百度权重值为3，很好</p><p>累计找到 ") + Red +
                         S("128</span>个关键词") + S("流量为：") + Red + S("1,234</span></p>") +
                         S("<p>快照日期：2010-5-12 收录数：约5,000 条</p>");
    const WeightFigures f = cutWeightFigures(page);
    EXPECT_EQ(f.weight, S("3"));
    EXPECT_EQ(f.countLine, S("共检查到128条"));
    EXPECT_EQ(f.count, S("128"));
    EXPECT_EQ(f.traffic, S("百度能给该站带来：1,234/IP"));
    EXPECT_EQ(f.snapshot, S("百度快照：2010-5-12"));
    EXPECT_EQ(f.indexed, S("百度收录共：约5,000"));
}

TEST(WeightFigures, TerminatorsAndMissingMarkers) {
    // No full-width comma: the weight runs on to the next weight marker.
    EXPECT_EQ(cutWeightFigures(S("百度权重值为5, 上次 百度权重值为7，")).weight, S("5, 上次 "));
    EXPECT_EQ(cutWeightFigures(S("x百度权重值为6")).weight, S("6"));
    // A full-width blank is no terminator; the date runs on to the ASCII blank.
    EXPECT_EQ(cutWeightFigures(S("快照日期：2010-5-12　更新 x")).snapshot,
              S("百度快照：2010-5-12　更新"));
    // The blank inside the count marker belongs to it; markers are case-sensitive.
    const WeightFigures wrong = cutWeightFigures(S("累计找到<span style=\"color:#F00\">9<") +
                                                 S("流量为：<span style=\"color:#f00\">9<"));
    EXPECT_FALSE(wrong.count.has_value());
    EXPECT_FALSE(wrong.countLine.has_value());
    EXPECT_FALSE(wrong.traffic.has_value());
    // A marker that ends the page finds nothing; an empty page finds nothing at all.
    EXPECT_FALSE(cutWeightFigures(S("收录数：")).indexed.has_value());
    const WeightFigures none = cutWeightFigures(QString());
    EXPECT_FALSE(none.weight || none.count || none.traffic || none.snapshot || none.indexed);
}

TEST(KeywordRanking, RowCountFromTheCountText) {
    const std::pair<const char*, int> cases[] = {
        {"10", 10}, {"15", 15}, {"16", 15},  {"128", 15}, {"0", 0},    {"-3", 0},   {"3.7", 3},
        {"0.5", 0}, {" 4 ", 4}, {"1,0", 10}, {"", 15},    {"abc", 15}, {"12条", 15}};
    for (const auto& [text, rows] : cases) EXPECT_EQ(rankingRowCount(S(text)), rows) << text;
}

TEST(KeywordRanking, SplitPieceCountsOccurrencesWithoutOverlap) {
    const QString m = S("ab");
    EXPECT_EQ(SplitPiece(S("xabyabz"), m, 0), S("x"));
    EXPECT_EQ(SplitPiece(S("xabyabz"), m, 1), S("y"));
    EXPECT_EQ(SplitPiece(S("xabyabz"), m, 2), S("z"));
    EXPECT_FALSE(SplitPiece(S("xabyabz"), m, 3).has_value());
    EXPECT_EQ(SplitPiece(S("aaaa"), S("aa"), 2), S(""));
    EXPECT_FALSE(SplitPiece(S("aaaa"), S("aa"), 3).has_value());
    EXPECT_EQ(SplitPiece(S("no marker"), m, 0), S("no marker"));
    EXPECT_FALSE(SplitPiece(QString(), m, 0).has_value());
}

// A ranking page as the keyword-ranking site lays it out: one "nofollow" link and one right-aligned
// cell before the rows, then per row keyword, rank, results, heat and title.
QString rankingPage(const QList<QStringList>& rows) {
    QString page = S("<a rel=\"nofollow\">首页</a><td align=\"right\">统计</td><table>");
    for (const QStringList& r : rows)
        page += S("<tr><td><a href=\"#\" rel=\"nofollow\">") + r[0] + S("</a></td><td>第") + r[1] +
                S("位</td><td align=\"right\">") + r[2] + S("</td><td align=\"right\">") + r[3] +
                S("</td><td><a rel=\"nofollow\">") + r[4] + S("</a></td></tr>");
    return page + S("</table>");
}

TEST(KeywordRanking, RowsFilledFromThePieces) {
    const auto rows =
        cutRankingRows(rankingPage({{S("网址导航"), S("2"), S("1,000,000"), S("2340"), S("好123")},
                                    {S("上网"), S("1 3"), S("55"), S("7"), S("首页")},
                                    {S("导航"), S("10"), S("9"), S("8"), S("标题")}}));
    EXPECT_EQ(rows[0][0], S("网址导航"));
    EXPECT_EQ(rows[0][1], S("第2位"));
    EXPECT_EQ(rows[0][2], S("2340次/日"));
    EXPECT_EQ(rows[0][3], S("1,000,000"));
    EXPECT_EQ(rows[0][4], S("好123"));
    EXPECT_EQ(rows[1][1], S("第1|3位"));
    EXPECT_EQ(rows[2][4], S("标题"));
    for (size_t k = 3; k < rows.size(); ++k)
        for (const auto& cell : rows[k]) EXPECT_FALSE(cell.has_value()) << k;
    for (const auto& row : cutRankingRows(QString()))
        for (const auto& cell : row) EXPECT_FALSE(cell.has_value());
    // A page cut off inside a row hands a cell no more than a value's 256 characters.
    const auto cut = cutRankingRows(S("<td>第") + QString(5000, u'9'));
    EXPECT_EQ(cut[0][1], S("第") + QString(MaxValueLength, u'9') + S("位"));
}

TEST(KeywordRanking, HeadersTooltipsAndSearch) {
    EXPECT_EQ(rankingHeadersAtLoad().size(), RankingColumns);
    EXPECT_EQ(rankingHeadersAfterLookup().last(), S("    页面标题      最多列出45条"));
    EXPECT_EQ(rankingTooltip(0, 5, S("5")), S("5"));
    EXPECT_EQ(rankingTooltip(2, 5, S("第2位")), S("第2位  双击查看"));
    EXPECT_TRUE(keywordSearchAddress(S("网址 导航")).endsWith(S("/s?wd=网址 导航")));
}

}  // namespace
