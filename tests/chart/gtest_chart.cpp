// The chart follows the records: a point per dated record, a gap where a figure is no count.
#include <gtest/gtest.h>

#include <QImage>
#include <QXmlStreamReader>

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

TEST(Chart, PngAndSvgByExtension) {
    const TrendData data =
        trendData(QStringLiteral("a.com"), {parseHistoryRecord(QStringLiteral("2026-3-1=100/5"))},
                  ChartKind::Indexed);
    EXPECT_EQ(chartFormatOf(QStringLiteral("c.PNG")), ChartFormat::Png);
    EXPECT_EQ(chartFormatOf(QStringLiteral("c.gif")), std::nullopt);
    EXPECT_EQ(QImage::fromData(renderTrendChart(data, ChartFormat::Png, DefaultChartFileSize)).size(),
              DefaultChartFileSize);
}

// A domain is the user's text: the drawing stays well-formed XML whatever it holds.
TEST(Chart, SvgWellFormedForAHostileDomain) {
    const TrendData data = trendData(QStringLiteral("a&b<c>\"d\x1b[31m\x01.test"),
                                     {parseHistoryRecord(QStringLiteral("2026-3-1=100/5"))}, ChartKind::Indexed);
    QXmlStreamReader xml(renderTrendChart(data, ChartFormat::Svg, DefaultChartFileSize));
    QString title;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"title") title = xml.readElementText();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(title.startsWith(QStringLiteral("a&b<c>\"d[31m.test"))) << title.toStdString();
}
