#include "chart/trendchart.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#ifdef ZORVAN_SVG
#include <QSvgGenerator>
#endif
#include <algorithm>
#include <cmath>

#include "history/trends.h"
#include "vocab/text.h"

namespace zorvan {
namespace {

constexpr double padding = 12;
constexpr double swatchWidth = 18;
constexpr double legendGap = 16;
// Below this many days every point is marked as well as joined.
constexpr qsizetype markedDays = 40;
// Days closer than this many pixels make a dense chart.
constexpr double denseSpacing = 4;

const QColor ink(0x33, 0x33, 0x33);
const QColor faint(0x88, 0x88, 0x88);
const QColor gridLine(0xe4, 0xe7, 0xec);

QFont titleFont(QFont font) {
    font.setBold(true);
    if (font.pixelSize() > 0)
        font.setPixelSize(qRound(font.pixelSize() * 1.15));
    else
        font.setPointSizeF(font.pointSizeF() * 1.15);
    return font;
}

// Control characters are dropped: XML cannot hold them even escaped, and a picture shows nothing
// for them.
QString chartTitle(const TrendData& data) {
    QString domain = data.domain;
    domain.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return domain + QStringLiteral("  ") +
           (data.kind == TrendKind::Indexed ? S("收录情况") : S("反向链接"));
}

// 1, 2 or 5 times a power of ten, at least raw (and at least 1: counts are whole).
qint64 roundStep(double raw) {
    if (raw <= 1) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return qint64(m * power);
    return qint64(10 * power);
}

// Day ticks every n days from the first day, month ticks on the first of every n-th month, year
// ticks on the first of January of every n-th year: the first set that fits wins.
struct TickChoice {
    QList<QDate> ticks;
    QString format;
};

QList<QDate> monthTicks(const QDate& first, const QDate& last, int months) {
    QList<QDate> ticks;
    QDate d(first.year(), first.month(), 1);
    if (d < first) d = d.addMonths(1);
    while ((d.month() - 1) % months != 0) d = d.addMonths(1);
    for (; d <= last; d = d.addMonths(months)) ticks.append(d);
    return ticks;
}

QList<QDate> yearTicks(const QDate& first, const QDate& last, int years) {
    QList<QDate> ticks;
    int y = first.year() + (QDate(first.year(), 1, 1) < first ? 1 : 0);
    while (y % years != 0) ++y;
    for (; y <= last.year(); y += years) ticks.append(QDate(y, 1, 1));
    return ticks;
}

TickChoice chooseTicks(const QDate& first, const QDate& last, double width,
                       const QFontMetricsF& fm) {
    const auto fits = [&](const QList<QDate>& ticks, const QString& sample) {
        return !ticks.isEmpty() && ticks.size() * (fm.horizontalAdvance(sample) + 24) <= width;
    };
    const QString dayFormat = QStringLiteral("yyyy-M-d");
    const QString daySample = QStringLiteral("2026-12-31");
    for (const int n : {1, 2, 7, 14}) {
        if ((first.daysTo(last) / n + 1) * (fm.horizontalAdvance(daySample) + 24) > width) continue;
        QList<QDate> ticks;
        for (QDate d = first; d <= last; d = d.addDays(n)) ticks.append(d);
        return {ticks, dayFormat};
    }
    for (const int n : {1, 2, 3, 6}) {
        const QList<QDate> ticks = monthTicks(first, last, n);
        if (fits(ticks, QStringLiteral("2026-12"))) return {ticks, QStringLiteral("yyyy-M")};
    }
    for (const int n : {1, 2, 5, 10, 20, 50, 100}) {
        const QList<QDate> ticks = yearTicks(first, last, n);
        if (fits(ticks, QStringLiteral("2026"))) return {ticks, QStringLiteral("yyyy")};
    }
    return {{first}, dayFormat};
}

struct LegendItem {
    QRectF rect;
    QColor colour;
    QString name;
};

QList<LegendItem> legendItems(const TrendData& data, const QRectF& band, const QFontMetricsF& fm) {
    QList<LegendItem> items;
    double x = band.left(), y = band.top();
    for (const TrendSeries& s : data.series) {
        const EngineInfo& e = engineInfo(s.engine);
        const double w = swatchWidth + 4 + fm.horizontalAdvance(e.shortName);
        if (x > band.left() && x + w > band.right()) {
            x = band.left();
            y += fm.height() + 4;
        }
        items.append({QRectF(x, y, w, fm.height()), QColor::fromString(e.colour), e.shortName});
        x += w + legendGap;
    }
    return items;
}

}  // namespace

QString axisCountText(qint64 count) {
    const auto scaled = [](qint64 value, double unit, const char* name) -> QString {
        // At most two decimals, without trailing zeros: "1.5万", "12万".
        QString n = QString::number(double(value) / unit, 'f', 2);
        while (n.endsWith(u'0')) n.chop(1);
        if (n.endsWith(u'.')) n.chop(1);
        return n + S(name);
    };
    if (count >= 100000000) return scaled(count, 1e8, "亿");
    if (count >= 10000) return scaled(count, 1e4, "万");
    return QString::number(count);
}

TrendGeometry::TrendGeometry(const TrendData& data, const QRectF& chartArea, const QFont& font)
    : area(chartArea) {
    const QFontMetricsF fm(font);
    const QFontMetricsF titleMetrics(titleFont(font));
    const QRectF inner = area.adjusted(padding, padding, -padding, -padding);

    // The title on the first line, the legend below it.
    const QRectF band(inner.left(), inner.top() + titleMetrics.height() + 6, inner.width(), 0);
    const QList<LegendItem> items = legendItems(data, band, fm);
    const double legendBottom = items.isEmpty() ? band.top() : items.last().rect.bottom();
    legend = QRectF(band.left(), band.top(), band.width(), legendBottom - band.top());

    yStep = roundStep(double(data.largest) / 5);
    yTop = std::max(yStep, (data.largest + yStep - 1) / yStep * yStep);
    double labelWidth = 0;
    for (qint64 v = 0; v <= yTop; v += yStep)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(axisCountText(v)));

    first_ = data.dates.isEmpty() ? QDate() : data.dates.first();
    last_ = data.dates.isEmpty() ? QDate() : data.dates.last();
    // A single day stands in the middle.
    if (first_.isValid() && first_ == last_) {
        first_ = first_.addDays(-1);
        last_ = last_.addDays(1);
    }
    const double right = inner.right() - fm.horizontalAdvance(QStringLiteral("2026-12-31")) / 2;
    plot = QRectF(QPointF(inner.left() + labelWidth + 8, legend.bottom() + fm.height()),
                  QPointF(right, inner.bottom() - fm.height() - 6));
    if (plot.width() < 10) plot.setWidth(10);
    if (plot.height() < 10) plot.setHeight(10);
    if (first_.isValid()) {
        const TickChoice choice = chooseTicks(first_, last_, plot.width(), fm);
        xTicks = choice.ticks;
        xTickFormat = choice.format;
    }
}

double TrendGeometry::x(const QDate& date) const {
    const qint64 span = first_.daysTo(last_);
    if (span <= 0) return plot.center().x();
    return plot.left() + plot.width() * double(first_.daysTo(date)) / double(span);
}

double TrendGeometry::y(qint64 count) const {
    return plot.bottom() - plot.height() * double(count) / double(yTop);
}

std::optional<qsizetype> TrendGeometry::nearestDay(const TrendData& data, double px) const {
    if (data.dates.isEmpty()) return std::nullopt;
    // Days are in order: the first at or right of px, or the one before it.
    const auto it = std::lower_bound(data.dates.cbegin(), data.dates.cend(), px,
                                     [&](const QDate& d, double value) { return x(d) < value; });
    qsizetype i = it - data.dates.cbegin();
    if (i == data.dates.size())
        i -= 1;
    else if (i > 0 && px - x(data.dates[i - 1]) < x(data.dates[i]) - px)
        i -= 1;
    // Of two records of one day, the later in the file.
    while (i + 1 < data.dates.size() && data.dates[i + 1] == data.dates[i]) ++i;
    return i;
}

namespace {

void paintTitleAndLegend(QPainter& painter, const QRectF& area, const TrendData& data,
                         const TrendGeometry& g, const QFont& font, const QFontMetricsF& fm) {
    painter.setFont(titleFont(font));
    painter.setPen(ink);
    painter.drawText(QRectF(area.left() + padding, area.top() + padding, area.width() - 2 * padding,
                            g.legend.top() - area.top() - padding),
                     Qt::AlignLeft | Qt::AlignTop, chartTitle(data));
    painter.setFont(font);
    for (const LegendItem& item : legendItems(data, g.legend, fm)) {
        const double mid = item.rect.center().y();
        painter.setPen(QPen(item.colour, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(item.rect.left(), mid),
                         QPointF(item.rect.left() + swatchWidth, mid));
        painter.setPen(ink);
        painter.drawText(QRectF(item.rect.left() + swatchWidth + 4, item.rect.top(),
                                item.rect.width(), item.rect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, item.name);
    }
}

// Round ticks from zero up the y axis; days at their true distance along the x axis.
void paintAxes(QPainter& painter, const QRectF& area, const TrendGeometry& g,
               const QFontMetricsF& fm) {
    for (qint64 v = 0; v <= g.yTop; v += g.yStep) {
        const double y = g.y(v);
        painter.setPen(QPen(gridLine, 1));
        painter.drawLine(QPointF(g.plot.left(), y), QPointF(g.plot.right(), y));
        painter.setPen(faint);
        painter.drawText(
            QRectF(area.left(), y - fm.height() / 2, g.plot.left() - 8 - area.left(), fm.height()),
            Qt::AlignRight | Qt::AlignVCenter, axisCountText(v));
    }
    // The x axis: days at their true distance.
    for (const QDate& d : g.xTicks) {
        const double x = g.x(d);
        painter.setPen(QPen(gridLine, 1));
        painter.drawLine(QPointF(x, g.plot.top()), QPointF(x, g.plot.bottom()));
        painter.setPen(faint);
        const QString label = d.toString(g.xTickFormat);
        const double w = fm.horizontalAdvance(label);
        painter.drawText(QRectF(x - w / 2 - 2, g.plot.bottom() + 4, w + 4, fm.height()),
                         Qt::AlignCenter, label);
    }
    painter.setPen(QPen(faint, 1));
    painter.drawLine(g.plot.bottomLeft(), g.plot.bottomRight());
    painter.drawLine(g.plot.bottomLeft(), g.plot.topLeft());
}

// One line per engine, broken where a figure is none.
void paintSeries(QPainter& painter, const TrendData& data, const TrendGeometry& g, double lineWidth,
                 bool markAll) {
    for (const TrendSeries& s : data.series) {
        const QColor colour = QColor::fromString(engineInfo(s.engine).colour);
        painter.setPen(QPen(colour, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() > 1) painter.drawPolyline(line);
            line.clear();
        };
        for (const TrendPoint& p : s.points) {
            if (!p.count) {
                flush();
                continue;
            }
            line.append(QPointF(g.x(p.date), g.y(*p.count)));
        }
        flush();
        // Points no line reaches (between two gaps) would be invisible: they get a dot.
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        for (qsizetype i = 0; i < s.points.size(); ++i) {
            const TrendPoint& p = s.points[i];
            if (!p.count) continue;
            const bool alone = (i == 0 || !s.points[i - 1].count) &&
                               (i + 1 == s.points.size() || !s.points[i + 1].count);
            if (alone || markAll) painter.drawEllipse(QPointF(g.x(p.date), g.y(*p.count)), 3, 3);
        }
        painter.setBrush(Qt::NoBrush);
    }
}

void paintHighlight(QPainter& painter, const TrendData& data, const TrendGeometry& g,
                    qsizetype highlighted) {
    if (highlighted < 0 || highlighted >= data.dates.size()) return;
    const double x = g.x(data.dates[highlighted]);
    painter.setPen(QPen(faint, 1, Qt::DashLine));
    painter.drawLine(QPointF(x, g.plot.top()), QPointF(x, g.plot.bottom()));
    for (const TrendSeries& s : data.series) {
        const TrendPoint& p = s.points[highlighted];
        if (!p.count) continue;
        painter.setPen(QPen(QColor::fromString(engineInfo(s.engine).colour), 2));
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(x, g.y(*p.count)), 4.5, 4.5);
    }
}

}  // namespace

void paintTrendChart(QPainter& painter, const QRectF& area, const TrendData& data,
                     std::optional<qsizetype> highlighted, bool thinWhenDense) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(area, Qt::white);
    const QFont font = painter.font();
    const QFontMetricsF fm(font);
    const TrendGeometry g(data, area, font);
    paintTitleAndLegend(painter, area, data, g, font, fm);
    paintAxes(painter, area, g, fm);
    if (!data.hasCounts) {
        painter.setPen(faint);
        painter.drawText(g.plot, Qt::AlignCenter,
                         data.dates.isEmpty() ? S("没有记录") : S("没有可以绘制的数量"));
    }

    painter.setClipRect(g.plot.adjusted(-4, -4, 4, 4));
    const bool markAll = data.dates.size() <= markedDays;
    // Where days lie a few pixels apart, a thin line still shows all there is to see.
    const bool dense = g.plot.width() < denseSpacing * double(data.dates.size());
    paintSeries(painter, data, g, thinWhenDense && dense ? 1 : 2, markAll);
    if (highlighted) paintHighlight(painter, data, g, *highlighted);
    painter.restore();
}

std::optional<ChartFormat> chartFormatOf(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"png") return ChartFormat::Png;
    if (suffix == u"svg") return ChartFormat::Svg;
    return std::nullopt;
}

QByteArray renderTrendChart(const TrendData& data, ChartFormat format, const QSize& size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Text in proportion to the picture, whatever the screen's font would be.
    QFont font;
    font.setPixelSize(std::max(12, size.height() / 42));
    const QRectF area(QPointF(0, 0), QSizeF(size));
    if (format == ChartFormat::Png) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setFont(font);
            paintTrendChart(painter, area, data, std::nullopt, false);
        }
        if (!image.save(&buffer, "PNG")) return {};
    } else {
#ifdef ZORVAN_SVG
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        // At 96 dots per inch the picture's size in millimetres is size in CSS pixels.
        svg.setResolution(96);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        // The generator writes the title as it is given: a domain with "&" or "<" would break the
        // file.
        svg.setTitle(chartTitle(data).toHtmlEscaped());
        {
            QPainter painter(&svg);
            painter.setFont(font);
            paintTrendChart(painter, area, data, std::nullopt, false);
        }
#else
        return {};
#endif
    }
    return bytes;
}

}  // namespace zorvan
