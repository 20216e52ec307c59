#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "engines/queryengine.h"
#include "vocab/figures.h"

namespace zorvan {

// Batch records: one per entry of the domain list, each the eighteen figure texts in record order
// joined by ",". They live in memory only.

QString joinBatchRecord(const QStringList& fieldTexts);
QString joinBatchRecord(const FigureValues& values);

// The pieces of a stored record; none for an empty (never stored) record.
QStringList batchRecordPieces(const QString& record);

// Keeps the records tied to the list they were stored for: records are indexed by position, so
// once the list is reloaded with other entries they would show under the wrong domains.
class BatchBook {
  public:
    // The empty records a run starts with.
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

// A walk over a list of domains with the combined query, one domain after another: each domain's
// figures come as they arrive, its record is stored under its entry once it is done, and the next
// entry follows until the last one has been queried. The window's batch mode and the command's
// batch both run on it; a single query is a run that does not walk on.
//
// The walk goes on from the entry at the position, whatever moved it there (a list shown in a
// window may be reloaded while a query runs), and only while walking is on.
//
// Completion is seen from the event loop, never inside the engine's own report, so whoever
// listens may start another query, or delete the run, from any signal.
class BatchRun : public QObject {
    Q_OBJECT
  public:
    // When a domain is done: once the four batches of its query have ended (the PageRank lookup
    // may answer later, as in the window), or once every answer is in (the command).
    enum class DoneWhen { Batches, AllAnswers };

    explicit BatchRun(QObject* parent = nullptr);
    ~BatchRun() override;

    void setDoneWhen(DoneWhen when) { doneWhen_ = when; }
    void setDeadlineMs(int ms) { deadlineMs_ = ms; }
    // For the queries from the next one on (see CombinedQueryEngine::setPatient).
    void setPatient(bool patient) { patient_ = patient; }

    // The list walked. Records stored for another list are dropped. True when they were.
    bool setList(const QStringList& entries);
    const QStringList& list() const { return entries_; }
    // The entry the walk is at; -1 for none.
    void setPosition(int index) { position_ = index; }
    int position() const { return position_; }
    void setWalking(bool walking) { walking_ = walking; }

    // Active from the start of a query until a walk has queried its last entry.
    bool isActive() const { return active_; }
    void markActive() { active_ = true; }

    const QStringList& records() const { return records_; }
    QString record(int index) const { return records_.value(index); }

    // The combined query of one domain (the entry at the position when walking). It replaces any
    // query still running: what that one still waited for is dropped.
    void query(const QString& domain);
    // Only the PageRank lookup, as a query of an empty domain asks; it is never done, so a walk
    // reaching an empty entry stops there, still active.
    void queryPageRankOnly(const QString& domain);
    // Walks the whole list from its first entry.
    void start(const QStringList& entries);

    // The running or last query (nullptr before the first).
    const CombinedQueryEngine* current() const { return engine_; }

  Q_SIGNALS:
    // A walk moved on to the entry at index and is about to query it.
    void domainStarted(int index, const QString& domain);
    void figureReady(zorvan::Figure figure, const QString& text);
    // The domain's query is done and, when walking, its record stored at index.
    void domainDone(int index, const zorvan::CombinedQueryEngine* query);
    // The walk has queried its last entry.
    void finished();
    // A service asked its host to wait (patient queries only).
    void waiting(const QString& host, double seconds, const QString& reason);

  private:
    CombinedQueryEngine* replaceEngine();
    void onDone(quint64 serial);
    void walkOn();

    DoneWhen doneWhen_ = DoneWhen::Batches;
    int deadlineMs_;
    bool patient_ = false;
    QStringList entries_;
    QStringList records_ = BatchBook::initialRecords();
    BatchBook book_;
    int position_ = -1;
    bool walking_ = false;
    bool active_ = false;
    CombinedQueryEngine* engine_ = nullptr;
    quint64 serial_ = 0;
};

}  // namespace zorvan
