#include "history/trends.h"

#include <algorithm>

namespace zorvan {

std::optional<qint64> countFromText(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && !text[i].isDigit()) ++i;
    if (i == text.size()) return std::nullopt;
    qint64 count = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        // A comma belongs to the number only between two digits: "1,234" but not "12, 34" or "12,".
        if (c == u',' && i + 1 < text.size() && text[i + 1].isDigit()) continue;
        if (!c.isDigit()) break;
        const int digit = c.digitValue();
        count = count * 10 + digit;
        if (count > LargestCount) return std::nullopt;
    }
    return count;
}

QDate recordDay(const StoredRecord& record) {
    return QDate::fromString(record.date.trimmed(), QStringLiteral("yyyy-M-d"));
}

int FigureDrop::percent() const {
    return from > 0 ? qRound(100.0 * double(from - to) / double(from)) : 0;
}

std::optional<StoredRecord> latestEarlierRecord(const QList<StoredRecord>& records,
                                                const QDate& today) {
    const StoredRecord* latest = nullptr;
    QDate latestDay;
    for (const StoredRecord& record : records) {
        const QDate day = recordDay(record);
        if (!day.isValid() || day >= today) continue;
        if (!latest || day >= latestDay) {
            latest = &record;
            latestDay = day;
        }
    }
    if (!latest) return std::nullopt;
    return *latest;
}

QList<FigureDrop> findDrops(const FigureValues& now, const StoredRecord& previous,
                            double thresholdPercent) {
    QList<FigureDrop> drops;
    for (const FigureInfo& f : figureTable()) {
        if (!isCount(f.figure)) continue;
        const auto before = countFromText(previous.values[f.figure]);
        const auto after = countFromText(now[f.figure]);
        if (!before || !after || *before < SmallestComparedCount || *after >= *before) continue;
        // Compared without rounding: a fall of exactly the threshold is a drop.
        const long double fall = static_cast<long double>(*before - *after) * 100;
        if (fall >= static_cast<long double>(thresholdPercent) * static_cast<long double>(*before))
            drops.append({f.figure, *before, *after, previous.date});
    }
    return drops;
}

QList<FigureDrop> findDrops(const FigureValues& now, const QList<StoredRecord>& records,
                            const QDate& today, double thresholdPercent) {
    const auto previous = latestEarlierRecord(records, today);
    return previous ? findDrops(now, *previous, thresholdPercent) : QList<FigureDrop>();
}

QString dropDescription(const FigureDrop& drop) {
    // One substitution for all four: a date text holding "%2" stays as it is.
    return QString::fromUtf8("较%1下降%2%（%3→%4）")
        .arg(drop.since, QString::number(drop.percent()), QString::number(drop.from),
             QString::number(drop.to));
}

QString trendKindKey(TrendKind kind) {
    return kind == TrendKind::Indexed ? QStringLiteral("indexed") : QStringLiteral("backlinks");
}

std::optional<TrendKind> trendKindByKey(const QString& key) {
    for (const TrendKind kind : {TrendKind::Indexed, TrendKind::Backlinks})
        if (trendKindKey(kind) == key) return kind;
    return std::nullopt;
}

TrendData trendData(const QString& domain, const QList<StoredRecord>& records, TrendKind kind) {
    TrendData data;
    data.domain = domain;
    data.kind = kind;
    QList<std::pair<QDate, const StoredRecord*>> dated;
    for (const StoredRecord& r : records)
        if (const QDate day = recordDay(r); day.isValid()) dated.append({day, &r});
    // Kept oldest first; a hand-edited file may not be, and two records of one day keep their
    // order.
    std::stable_sort(dated.begin(), dated.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [day, record] : dated) {
        data.dates.append(day);
        data.dateTexts.append(record->date);
    }
    for (const EngineInfo& e : engineTable()) {
        TrendSeries series{
            e.engine,
            kind == TrendKind::Indexed ? indexedFigure(e.engine) : backlinksFigure(e.engine),
            {}};
        series.points.reserve(dated.size());
        for (const auto& [day, record] : dated) {
            const QString& text = record->values[series.figure];
            const auto count = countFromText(text);
            if (count) {
                data.largest = std::max(data.largest, *count);
                data.hasCounts = true;
            }
            series.points.append({day, count, text});
        }
        data.series.append(series);
    }
    return data;
}

}  // namespace zorvan
