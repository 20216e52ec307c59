#include "engines/batchrun.h"

#include <QPointer>
#include <algorithm>

#include "core/services.h"
#include "engines/queryengine.h"
#include "engines/rules.h"
#include "net/fetch.h"
#include "net/pacer.h"

namespace zorvan {

QString joinBatchRecord(const QStringList& fieldTexts) {
    return fieldTexts.join(QLatin1Char(','));
}

QString joinBatchRecord(const FigureValues& values) {
    QStringList texts;
    for (int k = 0; k < FigureCount; ++k) texts.append(values[Figure(k)]);
    return joinBatchRecord(texts);
}

QStringList batchRecordPieces(const QString& record) {
    if (record.isEmpty()) return {};
    return record.split(QLatin1Char(','), Qt::KeepEmptyParts);
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

namespace {

// The least gap at each service host ("host:port", as requests are paced): a role's own from
// rules.json, by whichever scheme a rule asks it; a host that serves two roles keeps the larger.
QHash<QString, int> hostIntervals(const RoleIntervals& roles) {
    QHash<QString, int> hosts;
    for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
        for (const QString& scheme : {QStringLiteral("http://"), QStringLiteral("https://")}) {
            int& ms = hosts[addressAuthority(scheme + serviceHost(it.key()))];
            ms = std::max(ms, it.value());
        }
    }
    return hosts;
}

}  // namespace

void applyHostIntervals(int fallbackMs) {
    HostPacer& pacer = HostPacer::global();
    pacer.setInterval(fallbackMs);
    const QHash<QString, int> hosts = hostIntervals(effectiveRules().intervals);
    for (auto it = hosts.cbegin(); it != hosts.cend(); ++it)
        pacer.setHostInterval(it.key(), it.value());
}

void releaseHostIntervals() {
    HostPacer& pacer = HostPacer::global();
    pacer.setInterval(0);
    const QHash<QString, int> hosts = hostIntervals(effectiveRules().intervals);
    for (auto it = hosts.cbegin(); it != hosts.cend(); ++it) pacer.setHostInterval(it.key(), 0);
}

BatchRun::BatchRun(QObject* parent)
    : QObject(parent), deadlineMs_(CombinedQueryEngine::DefaultDeadlineMs) {}

BatchRun::~BatchRun() = default;

void BatchRun::setJobs(int jobs) {
    jobs_ = std::max(1, jobs);
}

bool BatchRun::setList(const QStringList& entries) {
    if (entries != entries_) dropAhead(int(entries_.size()));
    entries_ = entries;
    return book_.listLoaded(entries, records_);
}

void BatchRun::setPosition(int index) {
    position_ = index;
    dropAhead(index);
}

int BatchRun::inFlight() const {
    int count = engine_ && !engineDone_ ? 1 : 0;
    for (const Ahead& a : ahead_) count += a.done ? 0 : 1;
    return count;
}

void BatchRun::start(const QStringList& entries) {
    setList(entries);
    position_ = 0;
    walking_ = true;
    if (entries_.isEmpty()) {
        Q_EMIT finished();
        return;
    }
    const QPointer<BatchRun> self(this);
    Q_EMIT domainStarted(0, entries_.first());
    if (!self) return;
    query(entries_.first());
    fill();
}

void BatchRun::stop() {
    walking_ = false;
    active_ = false;
    dropAhead(int(entries_.size()));
    delete engine_;
    engine_ = nullptr;
    serial_ = 0;
}

QList<const CombinedQueryEngine*> BatchRun::doneAhead() const {
    QList<const CombinedQueryEngine*> done;
    for (const Ahead& a : ahead_)
        if (a.done) done.append(a.engine);
    return done;
}

// Queries started ahead for the entries up to upTo are no longer wanted.
void BatchRun::dropAhead(int upTo) {
    for (auto it = ahead_.begin(); it != ahead_.end() && it.key() <= upTo;) {
        delete it->engine;
        it = ahead_.erase(it);
    }
}

CombinedQueryEngine* BatchRun::newEngine(quint64 serial) {
    auto* engine = new CombinedQueryEngine(this);
    engine->setDeadlineMs(deadlineMs_);
    engine->setPatient(patient_);
    connect(engine, &CombinedQueryEngine::waiting, this, &BatchRun::waiting);
    const auto doneSignal = doneWhen_ == DoneWhen::Batches ? &CombinedQueryEngine::completed
                                                           : &CombinedQueryEngine::finished;
    // A report still queued from a query since replaced must not pass for another's, even if its
    // engine's memory went to that one.
    connect(
        engine, doneSignal, this, [this, serial] { onDone(serial); }, Qt::QueuedConnection);
    return engine;
}

// Dropping the previous engine aborts whatever it still waited for (at most its PageRank lookup
// in the window), so a late answer never reaches the next domain's figures.
void BatchRun::setCurrent(CombinedQueryEngine* engine, quint64 serial) {
    delete engine_;
    engine_ = engine;
    serial_ = serial;
    connect(engine_, &CombinedQueryEngine::figureReady, this, &BatchRun::figureReady);
}

void BatchRun::query(const QString& domain) {
    const quint64 serial = ++lastSerial_;
    setCurrent(newEngine(serial), serial);
    engineDone_ = false;
    active_ = true;
    engine_->start(domain);
}

void BatchRun::queryPageRankOnly(const QString& domain) {
    const quint64 serial = ++lastSerial_;
    setCurrent(newEngine(serial), serial);
    engineDone_ = false;
    // Its report is never awaited.
    serial_ = 0;
    engine_->startPageRankOnly(domain);
}

void BatchRun::onDone(quint64 serial) {
    if (serial == 0) return;
    if (serial == serial_) {
        engineDone_ = true;
        report();
        return;
    }
    for (Ahead& a : ahead_) {
        if (a.serial != serial) continue;
        a.done = true;
        fill();
        return;
    }
}

// Reports the query at the position, and walks on: past every entry whose query is done already.
void BatchRun::report() {
    const QPointer<BatchRun> self(this);
    for (;;) {
        const quint64 serial = serial_;
        const CombinedQueryEngine* engine = engine_;
        const int index = position_;
        // Kept only under the entry it was queried for: a list reloaded meanwhile may have another
        // domain there, or none.
        if (keepsRecords_ && walking_ && entries_.value(index) == engine->domain())
            BatchBook::store(records_, index, joinBatchRecord(engine->values()));
        Q_EMIT domainDone(index, engine);
        if (!self || serial != serial_ || !walking_) return;
        if (!walkOn()) return;
    }
}

// Moves to the next entry; true when its query is done already and waits to be reported.
bool BatchRun::walkOn() {
    const int count = int(entries_.size());
    if (position_ < count - 1) {
        ++position_;
        if (const auto it = ahead_.constFind(position_); it != ahead_.cend()) {
            const Ahead next = *it;
            ahead_.erase(it);
            setCurrent(next.engine, next.serial);
            engineDone_ = next.done;
            fill();
            return next.done;
        }
        const QString next = entries_[position_];
        const QPointer<BatchRun> self(this);
        const quint64 before = lastSerial_;
        Q_EMIT domainStarted(position_, next);
        // A listener may have stopped the walk or started a query of its own.
        if (!self || lastSerial_ != before || !walking_) return false;
        if (next.isEmpty())
            queryPageRankOnly(next);
        else
            query(next);
        fill();
    } else if (count == position_ + 1) {
        active_ = false;
        Q_EMIT finished();
    }
    return false;
}

// Starts queries of the entries ahead of the position while jobs are free.
void BatchRun::fill() {
    const QPointer<BatchRun> self(this);
    const int end = std::min(int(entries_.size()), position_ + 1 + lookAhead());
    for (int index = position_ + 1; index < end && inFlight() < jobs_ && walking_; ++index) {
        if (ahead_.contains(index)) continue;
        const QString domain = entries_[index];
        // An empty entry stops the walk, as one job's walk stops there: nothing past it starts.
        if (domain.isEmpty()) return;
        Q_EMIT domainStarted(index, domain);
        if (!self || !walking_) return;
        const quint64 serial = ++lastSerial_;
        CombinedQueryEngine* engine = newEngine(serial);
        ahead_.insert(index, {engine, serial, false});
        engine->start(domain);
    }
}

}  // namespace zorvan
