#include "history/gui/trendchartview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "vocab/text.h"

namespace zorvan {
namespace {}  // namespace

TrendChartView::TrendChartView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(S("趋势图"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TrendChartView::setRecords(const QString& domain, const QStringList& recordLines) {
    domain_ = domain;
    lines_ = recordLines;
    invalidate();
}

void TrendChartView::setKind(TrendKind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    invalidate();
}

void TrendChartView::invalidate() {
    data_.reset();
    hovered_.reset();
    // What a screen reader says about the chart: whose figures, and over which days.
    const QString what = kind_ == TrendKind::Indexed ? S("收录情况") : S("反向链接");
    setAccessibleDescription(lines_.isEmpty() ? S("没有记录")
                                              : domain_ + u' ' + what + S("，共") +
                                                    QString::number(lines_.size()) +
                                                    S("条记录，每个搜索引擎一条线"));
    update();
}

const TrendData& TrendChartView::data() {
    if (!data_) {
        QList<StoredRecord> records;
        records.reserve(lines_.size());
        for (const QString& line : lines_) records.append(parseHistoryRecord(line));
        data_ = trendData(domain_, records, kind_);
    }
    return *data_;
}

QString TrendChartView::dayText(qsizetype day) {
    const TrendData& d = data();
    if (day < 0 || day >= d.dates.size()) return QString();
    QString text = d.dateTexts[day];
    for (const TrendSeries& s : d.series)
        text += u'\n' + engineInfo(s.engine).shortName + QStringLiteral(": ") + s.points[day].text;
    return text;
}

void TrendChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintTrendChart(painter, rect(), data(), hovered_);
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event) {
    const TrendGeometry geometry(data(), rect(), font());
    const QPointF at = event->position();
    std::optional<qsizetype> day;
    // Only inside the plot (with a little slack): the legend and the axes show nothing.
    if (geometry.plot.adjusted(-8, -8, 8, 8).contains(at))
        day = geometry.nearestDay(data(), at.x());
    if (day != hovered_) {
        hovered_ = day;
        update();
    }
    if (day)
        QToolTip::showText(event->globalPosition().toPoint(), dayText(*day), this);
    else
        QToolTip::hideText();
}

void TrendChartView::leaveEvent(QEvent*) {
    QToolTip::hideText();
    if (hovered_) {
        hovered_.reset();
        update();
    }
}

}  // namespace zorvan
