// The chart follows the records: a point per dated record, a gap where a figure is no count.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "chart/trendchart.h"

using namespace zorvan;

TEST(Chart, SeriesAreTheRecordsWithGapsForNone) {
    QList<StoredRecord> records;
    for (const char* line : {"2026-3-1=100/5|X/7|||||", "bad=1/1|1/1|||||",
                             "2026-1-31=约1,200/...|50/8|||||", "2026-3-1=90/6|60/9|||||"})
        records.append(parseHistoryRecord(QString::fromUtf8(line)));
    const TrendData data = trendData(QStringLiteral("a.com"), records, ChartKind::Indexed);
    // Date order, the undated record left out, two records of one day in file order.
    ASSERT_EQ(data.dates, (QList<QDate>{QDate(2026, 1, 31), QDate(2026, 3, 1), QDate(2026, 3, 1)}));
    ASSERT_EQ(data.series.size(), EngineCount);
    const ChartSeries& baidu = data.series[0];
    const ChartSeries& google = data.series[1];
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
    EXPECT_EQ(trendData({}, records, ChartKind::Backlinks).series[1].points[2].count, 9);
}

TEST(Chart, WritesPngAndSvgByExtension) {
    QTemporaryDir dir;
    const TrendData data =
        trendData(QStringLiteral("a.com"), {parseHistoryRecord(QStringLiteral("2026-3-1=100/5"))},
                  ChartKind::Indexed);
    EXPECT_EQ(writeTrendChart(data, dir.filePath(QStringLiteral("c.png")), DefaultChartFileSize),
              std::nullopt);
    EXPECT_EQ(QImage(dir.filePath(QStringLiteral("c.png"))).size(), DefaultChartFileSize);
    EXPECT_EQ(writeTrendChart(data, dir.filePath(QStringLiteral("c.svg")), DefaultChartFileSize),
              std::nullopt);
    EXPECT_TRUE(QFile(dir.filePath(QStringLiteral("c.svg"))).size() > 0);
    EXPECT_NE(writeTrendChart(data, dir.filePath(QStringLiteral("c.gif")), DefaultChartFileSize),
              std::nullopt);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("c.gif"))));
}
