#pragma once

#include <QDate>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

#include "history/trends.h"

class QFont;
class QPainter;

namespace zorvan {

// Where things fall in a chart of a given area.
class TrendGeometry {
  public:
    TrendGeometry(const TrendData& data, const QRectF& area, const QFont& font);

    QRectF area;
    QRectF plot;      // inside the axes
    QRectF legend;    // the band above the plot
    qint64 yTop = 1;  // the axis runs from 0 to yTop
    qint64 yStep = 1;
    QList<QDate> xTicks;
    QString xTickFormat;

    double x(const QDate& date) const;
    double y(qint64 count) const;
    // The index into data.dates of the day nearest to x; none without dates.
    std::optional<qsizetype> nearestDay(const TrendData& data, double x) const;

  private:
    QDate first_, last_;
};

// A count as an axis shows it: 9500, "1.5万", "2亿".
QString axisCountText(qint64 count);

// Paints the chart into area: title, legend, axes with round ticks, a line per engine. highlighted
// (an index into data.dates) draws a guide at that day with its points marked. Lines are two
// pixels wide; thinWhenDense makes them one pixel where days lie a few pixels apart, which paints
// some fifty times faster (wide lines are stroked as outlines): for a window, not for a file.
void paintTrendChart(QPainter& painter, const QRectF& area, const TrendData& data,
                     std::optional<qsizetype> highlighted = std::nullopt,
                     bool thinWhenDense = true);

// A chart file's format, by the name's extension (.png, .svg; nothing for any other).
enum class ChartFormat { Png, Svg };
std::optional<ChartFormat> chartFormatOf(const QString& fileName);
// Whether this build writes SVG: the Windows build has no Qt Svg.
#ifdef ZORVAN_SVG
inline constexpr bool CanWriteSvg = true;
#else
inline constexpr bool CanWriteSvg = false;
#endif

// The chart as a file's bytes; empty when it could not be made. Needs a QGuiApplication (fonts).
QByteArray renderTrendChart(const TrendData& data, ChartFormat format, const QSize& size);

inline constexpr QSize DefaultChartFileSize{1280, 720};

}  // namespace zorvan
