#include "domains/batchbook.h"

namespace zorvan {

QString joinBatchRecord(const QStringList& fieldTexts) { return fieldTexts.join(QLatin1Char(',')); }

QStringList batchRecordPieces(const QString& record) {
    if (record.isEmpty()) return {};
    return record.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

ArrowVisibility arrowsForEntry(int index, int count, bool runActive) {
    ArrowVisibility arrows;
    if (index == 0) {
        arrows.next = true;
    } else if (index > 0 && index < count - 1) {
        arrows.previous = arrows.next = true;
    } else if (index > 0 && count == index + 1) {
        arrows.previous = true;
    }
    if (runActive) arrows.next = false;
    return arrows;
}

bool BatchBook::listLoaded(const QStringList& entries, QStringList& records) {
    const bool changed = known_ && entries != entries_;
    if (changed) records = initialRecords();
    entries_ = entries;
    known_ = true;
    return changed;
}

bool BatchBook::store(QStringList& records, int index, const QString& record) {
    if (index < 0) return false;
    if (index > records.size() - 1) records.append(QString());
    if (index > records.size() - 1) return false;
    records[index] = record;
    return true;
}

}  // namespace zorvan
