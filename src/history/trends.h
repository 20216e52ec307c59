#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "history/historyfile.h"

namespace zorvan {

// Counts as numbers. A figure is stored as the text the service showed ("约8888", "1,234",
// "丂约14141条结果"); its count is the first run of digits, thousands commas included, whatever
// words stand around it. "X", "...", "-", blanks, text without digits, and a number beyond
// LargestCount (no engine counts that far; sums and axes of such numbers stay far from overflow)
// give none.
inline constexpr qint64 LargestCount = 999'999'999'999'999;
std::optional<qint64> countFromText(const QString& text);

// The day of a stored record ("2026-12-7"); an invalid date when its date text is not one.
QDate recordDay(const StoredRecord& record);

// A count that fell by at least the threshold since the domain's latest record of an earlier day.
struct FigureDrop {
    Figure figure;
    qint64 from = 0;
    qint64 to = 0;
    QString since;        // the date of the record compared with, as stored
    int percent() const;  // the fall, rounded to a whole percent
};

inline constexpr double DefaultDropThreshold = 20.0;
// A fall from a smaller count says nothing: 3 pages becoming 2 is noise, not a penalty.
inline constexpr qint64 SmallestComparedCount = 10;

// The last record of a day before today (records whose date is not a date are passed over).
// Records are kept oldest first, but a hand edit may not be: the latest day wins, and of two
// records of that day the later one in the file.
std::optional<StoredRecord> latestEarlierRecord(const QList<StoredRecord>& records,
                                                const QDate& today);

// The counts of now that fell by thresholdPercent or more from a previous count of at least
// SmallestComparedCount, in figure order. A count that is none now, or was none before, is no drop.
QList<FigureDrop> findDrops(const FigureValues& now, const StoredRecord& previous,
                            double thresholdPercent = DefaultDropThreshold);

// The same against the latest record of an earlier day among records; none without one.
QList<FigureDrop> findDrops(const FigureValues& now, const QList<StoredRecord>& records,
                            const QDate& today, double thresholdPercent = DefaultDropThreshold);

// "较2026-12-7下降35%（8888→5777）": how the window words a drop.
QString dropDescription(const FigureDrop& drop);

// Which count of each engine a trend follows.
enum class TrendKind { Indexed, Backlinks };
QString trendKindKey(TrendKind kind);  // "indexed", "backlinks"
std::optional<TrendKind> trendKindByKey(const QString& key);

struct TrendPoint {
    QDate date;
    std::optional<qint64> count;  // none: a gap in the line, never a zero
    QString text;                 // the figure as stored
};

// One engine's line: a point for every dated record, in date order.
struct TrendSeries {
    Engine engine;
    Figure figure;
    QList<TrendPoint> points;
};

// What a chart of a domain's records shows: the seven engines in table order. Records whose date
// is not a date cannot be placed and are left out.
struct TrendData {
    QString domain;
    TrendKind kind = TrendKind::Indexed;
    QList<QDate> dates;     // the records' days, oldest first (a day twice when stored twice)
    QStringList dateTexts;  // the same dates as stored
    QList<TrendSeries> series;
    qint64 largest = 0;  // the largest count of any line
    bool hasCounts = false;
};
TrendData trendData(const QString& domain, const QList<StoredRecord>& records, TrendKind kind);

}  // namespace zorvan
