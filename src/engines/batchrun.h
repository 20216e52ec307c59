#pragma once

#include <QMap>
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

// Paces every service host of this process: a role's own gap from rules.json, fallbackMs for
// the rest (0: none).
void applyHostIntervals(int fallbackMs);
// Back to no gap anywhere, as the window's own queries have always run.
void releaseHostIntervals();

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

// A walk over a list of domains with the combined query, up to a number of domains at once: each
// entry's record is stored under it once its query is done, and entries are reported in list order
// whatever order their queries end in. The window's batch mode (one at a time), the site group
// window and the command's batch all walk with it; a single query is a run that does not walk on.
//
// With one job the walk is exactly one query after another: the figures of the entry at the
// position come as they arrive, and the walk goes on from the entry at the position, whatever moved
// it there (a list shown in a window may be reloaded while a query runs), and only while walking
// is on. More jobs start queries ahead of the position, at most lookAhead() entries past it, so
// a slow domain holds back a bounded number of finished ones, never the whole list.
//
// Completion is seen from the event loop, never inside the engine's own report, so whoever
// listens may start another query, stop the run, or delete it, from any signal.
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
    // Queries at once (at least one), for the walks started from now on.
    void setJobs(int jobs);
    int jobs() const { return jobs_; }
    // How many entries past the position a query may be started for.
    int lookAhead() const { return jobs_ == 1 ? 0 : jobs_ * 4; }

    // The list walked. Records stored for another list are dropped, and so are queries started
    // ahead for it. True when the records were dropped.
    bool setList(const QStringList& entries);
    const QStringList& list() const { return entries_; }
    // The entry the walk is at: the next one to be reported; -1 for none.
    void setPosition(int index);
    int position() const { return position_; }
    void setWalking(bool walking) { walking_ = walking; }
    // Whether a walk stores each domain's record for the window's arrows; a walk over a site
    // group's list, where nobody browses them, holds no record a domain.
    void setKeepsRecords(bool keeps) { keepsRecords_ = keeps; }

    // Active from the start of a query until a walk has queried its last entry.
    bool isActive() const { return active_; }
    void markActive() { active_ = true; }
    // Queries started and not done yet.
    int inFlight() const;

    const QStringList& records() const { return records_; }
    QString record(int index) const { return records_.value(index); }

    // The combined query of one domain (the entry at the position when walking). It replaces any
    // query still running at the position: what that one still waited for is dropped.
    void query(const QString& domain);
    // Only the PageRank lookup, as a query of an empty domain asks; it is never done, so a walk
    // reaching an empty entry stops there, still active.
    void queryPageRankOnly(const QString& domain);
    // Walks the whole list from its first entry.
    void start(const QStringList& entries);
    // Ends the walk at once: every query still running is dropped, nothing more is reported.
    void stop();
    // The queries ahead of the position that are done and wait for their turn, in list order;
    // valid until the walk moves on or stops.
    QList<const CombinedQueryEngine*> doneAhead() const;

    // The query at the position, running or reported last (nullptr before the first).
    const CombinedQueryEngine* current() const { return engine_; }

  Q_SIGNALS:
    // A query of the entry at index is about to start.
    void domainStarted(int index, const QString& domain);
    // The figures of the query at the position.
    void figureReady(zorvan::Figure figure, const QString& text);
    // The domain's query is done and, when walking and keeping records, its record stored at
    // index; in list order.
    void domainDone(int index, const zorvan::CombinedQueryEngine* query);
    // The walk has queried its last entry.
    void finished();
    // A service asked its host to wait (patient queries only).
    void waiting(const QString& host, double seconds, const QString& reason);

  private:
    // A query started for an entry past the position.
    struct Ahead {
        CombinedQueryEngine* engine;
        quint64 serial;
        bool done;
    };

    CombinedQueryEngine* newEngine(quint64 serial);
    void setCurrent(CombinedQueryEngine* engine, quint64 serial);
    void dropAhead(int upTo);
    void onDone(quint64 serial);
    void report();
    bool walkOn();
    void fill();

    DoneWhen doneWhen_ = DoneWhen::Batches;
    int deadlineMs_;
    bool patient_ = false;
    int jobs_ = 1;
    QStringList entries_;
    QStringList records_ = BatchBook::initialRecords();
    bool keepsRecords_ = true;
    BatchBook book_;
    int position_ = -1;
    bool walking_ = false;
    bool active_ = false;
    CombinedQueryEngine* engine_ = nullptr;
    bool engineDone_ = false;
    // The serial of the query at the position; a report of any other is not that query's.
    quint64 serial_ = 0;
    quint64 lastSerial_ = 0;
    QMap<int, Ahead> ahead_;
};

}  // namespace zorvan
