// Counts read from the figures' texts, the drop rule at its edges, and the series a chart draws.
#include <gtest/gtest.h>

#include "history/trends.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

// A record of day whose Baidu indexed count is baidu and whose Google backlinks are google.
StoredRecord record(const char* day, const char* baidu, const char* google = "X") {
    StoredRecord r{QString::fromLatin1(day), {}};
    r.values[Figure::IndexedBaidu] = S(baidu);
    r.values[Figure::BacklinksGoogle] = S(google);
    return r;
}

FigureValues now(const char* baidu, const char* google = "X") {
    return record("", baidu, google).values;
}

const QDate today(2026, 12, 9);

}  // namespace

TEST(Counts, FirstRunOfDigitsWithItsThousandsCommas) {
    EXPECT_EQ(countFromText(S("约8888")), 8888);
    EXPECT_EQ(countFromText(S("1,234")), 1234);
    EXPECT_EQ(countFromText(S("约 9999 ")), 9999);
    EXPECT_EQ(countFromText(S("丂约14141条结果")), 14141);
    EXPECT_EQ(countFromText(S("共13131条")), 13131);
    EXPECT_EQ(countFromText(S("12, 34")), 12);  // a comma not between digits ends the run
    for (const char* none : {"X", "...", "-", "", "   ", "暂无数据", "99999999999999999999"})
        EXPECT_EQ(countFromText(S(none)), std::nullopt) << none;
}

TEST(Drops, TwentyPercentFromAtLeastTen) {
    const StoredRecord before = record("2026-12-7", "约1,000", "10");
    // Just under 20 %, then exactly 20 %.
    EXPECT_TRUE(findDrops(now("约801", "9"), before).isEmpty());
    const QList<FigureDrop> drops = findDrops(now("约800", "8"), before);
    ASSERT_EQ(drops.size(), 2);
    EXPECT_EQ(drops[0].figure, Figure::IndexedBaidu);
    EXPECT_EQ(drops[0].from, 1000);
    EXPECT_EQ(drops[0].to, 800);
    EXPECT_EQ(drops[0].since, QStringLiteral("2026-12-7"));
    EXPECT_EQ(drops[1].figure, Figure::BacklinksGoogle);
    // A previous count under 10, and a figure that is none now.
    EXPECT_TRUE(findDrops(now("X", "1"), record("2026-12-7", "5000", "9")).isEmpty());
    // The threshold can be changed.
    EXPECT_EQ(findDrops(now("约801"), before, 15).size(), 1);
    EXPECT_EQ(dropDescription({Figure::IndexedBaidu, 8888, 5777, QStringLiteral("2026-12-7")}),
              S("较2026-12-7下降35%（8888→5777）"));
}

TEST(Drops, OnlyTheLatestRecordOfAnEarlierDayCounts) {
    // The older record's 9000 would be a drop; the latest earlier one's 5000 is not. Today's own
    // record and a line without a date are passed over.
    const QList<StoredRecord> records = {record("2026-12-1", "9000"), record("2026-12-8", "5000"),
                                         record("not a day", "90000"),
                                         record("2026-12-9", "90000")};
    EXPECT_TRUE(findDrops(now("4500"), records, today).isEmpty());
    EXPECT_EQ(findDrops(now("3000"), records, today).size(), 1);
    EXPECT_TRUE(findDrops(now("1"), {record("2026-12-9", "9000")}, today).isEmpty());
}

// The trend follows the records: a point per dated record, a gap where a figure is no count.
TEST(Trends, SeriesAreTheRecordsWithGapsForNone) {
    QList<StoredRecord> records;
    for (const char* line : {"2026-3-1=100/5|X/7|||||", "bad=1/1|1/1|||||",
                             "2026-1-31=约1,200/...|50/8|||||", "2026-3-1=90/6|60/9|||||"})
        records.append(parseHistoryRecord(QString::fromUtf8(line)));
    const TrendData data = trendData(QStringLiteral("a.com"), records, TrendKind::Indexed);
    // Date order, the undated record left out, two records of one day in file order.
    ASSERT_EQ(data.dates, (QList<QDate>{QDate(2026, 1, 31), QDate(2026, 3, 1), QDate(2026, 3, 1)}));
    ASSERT_EQ(data.series.size(), EngineCount);
    const TrendSeries& baidu = data.series[0];
    const TrendSeries& google = data.series[1];
    EXPECT_EQ(baidu.engine, Engine::Baidu);
    EXPECT_EQ(baidu.points[0].count, 1200);
    EXPECT_EQ(baidu.points[0].text, QString::fromUtf8("约1,200"));
    EXPECT_EQ(baidu.points[1].count, 100);
    EXPECT_EQ(baidu.points[2].count, 90);
    EXPECT_EQ(google.points[0].count, 50);
    EXPECT_EQ(google.points[1].count, std::nullopt);  // "X": a gap, not a zero
    EXPECT_EQ(google.points[1].text, QStringLiteral("X"));
    EXPECT_EQ(data.series[2].points[0].count, std::nullopt);  // an empty piece
    EXPECT_EQ(data.largest, 1200);
    EXPECT_EQ(trendData({}, records, TrendKind::Backlinks).series[1].points[2].count, 9);
}
