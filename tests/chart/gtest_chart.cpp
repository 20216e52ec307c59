// Charts drawn to files: the format by extension, and well-formed drawings whatever the domain.
#include <gtest/gtest.h>

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
