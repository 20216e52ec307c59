#pragma once

#include <QString>
#include <QStringList>

namespace zorvan {

// Batch records: one per entry of the domain list, each the eighteen field texts in record order
// joined by ",". They live in memory only.

QString joinBatchRecord(const QStringList& fieldTexts);

// The pieces of a stored record; none for an empty (never stored) record.
QStringList batchRecordPieces(const QString& record);

// Which browsing arrows an entry shows: i the selected entry, n the number of entries; during a
// run the next arrow stays hidden.
struct ArrowVisibility {
    bool previous = false;
    bool next = false;
};
ArrowVisibility arrowsForEntry(int index, int count, bool runActive);

// Keeps the records tied to the list they were stored for: records are indexed by position, so
// once the list is reloaded with other entries they would show under the wrong domains.
class BatchBook {
public:
    // The empty records a window starts with.
    static QStringList initialRecords() { return {QString(), QString()}; }

    // Called after every load of the list; drops the records when the entries changed.
    // True when they were dropped.
    bool listLoaded(const QStringList& entries, QStringList& records);

    // Stores a record at an entry's index, growing the records by at most one entry first.
    // False when the index is still out of reach.
    static bool store(QStringList& records, int index, const QString& record);

private:
    QStringList entries_;
    bool known_ = false;
};

}  // namespace zorvan
