#pragma once

#include <QStringList>
#include <QWidget>
#include <optional>

#include "chart/trendchart.h"
#include "history/trends.h"

namespace zorvan {

// "趋势图": a domain's stored counts as a chart, one line per engine. Hovering shows the nearest
// day's date and each engine's figure as stored. The records are only read when the chart is
// painted, so a hidden chart costs nothing.
class TrendChartView : public QWidget {
    Q_OBJECT
  public:
    explicit TrendChartView(QWidget* parent = nullptr);

    // The record lines of domain, as the history file holds them.
    void setRecords(const QString& domain, const QStringList& recordLines);
    void setKind(TrendKind kind);
    TrendKind kind() const { return kind_; }

    // What is drawn (read on demand).
    const TrendData& data();
    // The text hovering shows for a day (an index into data().dates).
    QString dayText(qsizetype day);

    QSize sizeHint() const override { return {720, 300}; }
    QSize minimumSizeHint() const override { return {360, 180}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void invalidate();

    QString domain_;
    QStringList lines_;
    TrendKind kind_ = TrendKind::Indexed;
    std::optional<TrendData> data_;
    std::optional<qsizetype> hovered_;
};

}  // namespace zorvan
