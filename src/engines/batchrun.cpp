#include "engines/batchrun.h"

#include <QPointer>

#include "engines/queryengine.h"

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

BatchRun::BatchRun(QObject* parent)
    : QObject(parent), deadlineMs_(CombinedQueryEngine::DefaultDeadlineMs) {}

BatchRun::~BatchRun() = default;

bool BatchRun::setList(const QStringList& entries) {
    entries_ = entries;
    return book_.listLoaded(entries, records_);
}

void BatchRun::start(const QStringList& entries) {
    setList(entries);
    position_ = 0;
    walking_ = true;
    if (entries_.isEmpty()) {
        Q_EMIT finished();
        return;
    }
    Q_EMIT domainStarted(0, entries_.first());
    query(entries_.first());
}

// Dropping the previous engine aborts whatever it still waited for (at most its PageRank lookup
// in the window), so a late answer never reaches the next domain's figures.
CombinedQueryEngine* BatchRun::replaceEngine() {
    delete engine_;
    engine_ = new CombinedQueryEngine(this);
    engine_->setDeadlineMs(deadlineMs_);
    engine_->setPatient(patient_);
    connect(engine_, &CombinedQueryEngine::figureReady, this, &BatchRun::figureReady);
    connect(engine_, &CombinedQueryEngine::waiting, this, &BatchRun::waiting);
    return engine_;
}

void BatchRun::query(const QString& domain) {
    CombinedQueryEngine* engine = replaceEngine();
    active_ = true;
    const auto doneSignal = doneWhen_ == DoneWhen::Batches ? &CombinedQueryEngine::completed
                                                           : &CombinedQueryEngine::finished;
    // A report still queued from a query since replaced must not pass for this one's, even if
    // its engine's memory went to this one.
    connect(
        engine, doneSignal, this, [this, serial = ++serial_] { onDone(serial); },
        Qt::QueuedConnection);
    engine->start(domain);
}

void BatchRun::queryPageRankOnly(const QString& domain) {
    ++serial_;
    replaceEngine()->startPageRankOnly(domain);
}

void BatchRun::onDone(quint64 serial) {
    if (serial != serial_) return;
    const CombinedQueryEngine* engine = engine_;
    const QString domain = engine->domain();
    const int index = position_;
    // Kept only under the entry it was queried for: a list reloaded meanwhile may have another
    // domain there, or none.
    if (walking_ && entries_.value(index) == domain)
        BatchBook::store(records_, index, joinBatchRecord(engine->values()));
    const QPointer<BatchRun> self(this);
    Q_EMIT domainDone(index, engine);
    if (!self || serial != serial_ || !walking_) return;
    walkOn();
}

void BatchRun::walkOn() {
    const int count = int(entries_.size());
    if (position_ < count - 1) {
        ++position_;
        const QString next = entries_[position_];
        const QPointer<BatchRun> self(this);
        const quint64 before = serial_;
        Q_EMIT domainStarted(position_, next);
        // A listener may have stopped the walk or started a query of its own.
        if (!self || serial_ != before || !walking_) return;
        if (next.isEmpty())
            queryPageRankOnly(next);
        else
            query(next);
    } else if (count == position_ + 1) {
        active_ = false;
        Q_EMIT finished();
    }
}

}  // namespace zorvan
