// Charts drawn to files: the format by extension, and well-formed drawings whatever the domain.
#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QXmlStreamReader>

#include "chart/trendchart.h"

using namespace zorvan;

TEST(Chart, PngAndSvgByExtension) {
    const TrendData data =
        trendData(QStringLiteral("a.com"), {parseHistoryRecord(QStringLiteral("2026-3-1=100/5"))},
                  TrendKind::Indexed);
    EXPECT_EQ(chartFormatOf(QStringLiteral("c.PNG")), ChartFormat::Png);
    EXPECT_EQ(chartFormatOf(QStringLiteral("c.gif")), std::nullopt);
    EXPECT_EQ(
        QImage::fromData(renderTrendChart(data, ChartFormat::Png, DefaultChartFileSize)).size(),
        DefaultChartFileSize);
}

// A domain is the user's text: the drawing stays well-formed XML whatever it holds.
TEST(Chart, SvgWellFormedForAHostileDomain) {
#ifndef ZORVAN_SVG
    GTEST_SKIP() << "this build draws PNG only: Qt Svg is not part of it";
#endif
    const TrendData data =
        trendData(QStringLiteral("a&b<c>\"d\x1b[31m\x01.test"),
                  {parseHistoryRecord(QStringLiteral("2026-3-1=100/5"))}, TrendKind::Indexed);
    QXmlStreamReader xml(renderTrendChart(data, ChartFormat::Svg, DefaultChartFileSize));
    QString title;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"title")
            title = xml.readElementText();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(title.startsWith(QStringLiteral("a&b<c>\"d[31m.test"))) << title.toStdString();
}

namespace {

TrendData dataOn(const QStringList& days) {
    QList<StoredRecord> records;
    for (const QString& day : days) records.append(parseHistoryRecord(day + u"=100/5"));
    return trendData(QStringLiteral("a.com"), records, TrendKind::Indexed);
}

}  // namespace

// The ticks a span gets on a file-sized chart: every day while days fit, then the first of
// months, then the first of January; always within the span and in order.
TEST(Chart, TicksByTheSpanTheyCover) {
    const QRectF area(QPointF(0, 0), QSizeF(DefaultChartFileSize));
    struct Case {
        const char* first;
        const char* last;
        const char* format;
        int day;  // the day of the month every tick falls on; 0: any
    };
    for (const Case& c :
         {Case{"2026-3-1", "2026-3-4", "yyyy-M-d", 0}, Case{"2025-3-15", "2026-3-14", "yyyy-M", 1},
          Case{"1996-6-1", "2026-6-1", "yyyy", 1}}) {
        const TrendData data = dataOn({QString::fromLatin1(c.first), QString::fromLatin1(c.last)});
        const TrendGeometry g(data, area, QFont());
        EXPECT_EQ(g.xTickFormat, QString::fromLatin1(c.format)) << c.first;
        ASSERT_FALSE(g.xTicks.isEmpty()) << c.first;
        EXPECT_GE(g.xTicks.first(), data.dates.first()) << c.first;
        EXPECT_LE(g.xTicks.last(), data.dates.last()) << c.first;
        for (qsizetype i = 0; i < g.xTicks.size(); ++i) {
            EXPECT_TRUE(c.day == 0 || g.xTicks[i].day() == c.day) << c.first;
            EXPECT_TRUE(i == 0 || g.xTicks[i - 1] < g.xTicks[i]) << c.first;
            EXPECT_TRUE(QByteArray(c.format) != "yyyy" || g.xTicks[i].month() == 1) << c.first;
        }
    }
    // Four days: one tick each, the ends at the plot's edges.
    const TrendData days = dataOn({QStringLiteral("2026-3-1"), QStringLiteral("2026-3-4")});
    const TrendGeometry g(days, area, QFont());
    EXPECT_EQ(g.xTicks.size(), 4);
    EXPECT_DOUBLE_EQ(g.x(days.dates.first()), g.plot.left());
    EXPECT_DOUBLE_EQ(g.x(days.dates.last()), g.plot.right());
}

// The day under the pointer: the nearest, the later of two records of one day, the ends beyond.
TEST(Chart, NearestDayByTable) {
    const TrendData data = dataOn({QStringLiteral("2026-1-1"), QStringLiteral("2026-1-11"),
                                   QStringLiteral("2026-1-11"), QStringLiteral("2026-1-31")});
    const TrendGeometry g(data, QRectF(QPointF(0, 0), QSizeF(DefaultChartFileSize)), QFont());
    const double first = g.x(data.dates[0]), tenth = g.x(data.dates[1]), last = g.x(data.dates[3]);
    const QList<std::pair<double, qsizetype>> cases = {{-1000, 0},
                                                       {first, 0},
                                                       {(first + tenth) / 2 - 1, 0},
                                                       {(first + tenth) / 2 + 1, 2},
                                                       {tenth, 2},
                                                       {(tenth + last) / 2 + 1, 3},
                                                       {last + 1000, 3}};
    for (const auto& [x, day] : cases) EXPECT_EQ(g.nearestDay(data, x), day) << x;
    EXPECT_EQ(g.nearestDay(dataOn({}), 10), std::nullopt);
}
