#include "engines/queryengine.h"

#include <QPointer>

#include "engines/pagerank.h"

namespace zorvan {

// One step of a stream: a row, the end of a batch, or the PageRank lookup.
struct QueryStep {
    enum Kind { Row, BatchEnd, PageRank } kind;
    Figure figure = Figure::PageRank;
};

namespace {

using Step = QueryStep;

void addBatch(QList<Step>& stream, const QList<CountRow>& rows) {
    for (const CountRow& row : rows) stream.append({Step::Row, row.figure});
    stream.append(Step{Step::BatchEnd});
}

}  // namespace

CombinedQueryEngine::CombinedQueryEngine(QObject* parent) : QObject(parent) {}

CombinedQueryEngine::~CombinedQueryEngine() = default;

void CombinedQueryEngine::start(const QString& domain) {
    QList<Step> window, worker;
    addBatch(window, windowBatchRows());
    window.append(Step{Step::PageRank});
    addBatch(worker, engineBatchRows());
    addBatch(worker, youdaoBatchRows());
    addBatch(worker, sogouYahooBatchRows());
    begin(domain, window, worker);
}

void CombinedQueryEngine::startPageRankOnly(const QString& domain) { begin(domain, {{Step::PageRank}}, {}); }

void CombinedQueryEngine::begin(const QString& domain, const QList<Step>& window, const QList<Step>& worker) {
    // A new start drops whatever an earlier one still had in flight.
    requests_ = std::make_unique<QObject>();
    budget_ = std::make_unique<FetchBudget>(deadlineMs_);
    rules_ = effectiveRules().rules;
    domain_ = domain;
    values_ = FigureValues();
    results_ = {};
    runningStreams_ = 0;
    batchesDone_ = 0;
    for (const QList<Step>& steps : {window, worker}) {
        if (steps.isEmpty()) continue;
        ++runningStreams_;
        runNext(std::make_shared<QList<Step>>(steps));
    }
}

// A receiver may delete the engine, or start it again, from any signal: nothing of a stream is
// touched after a signal unless the engine and its requests are still the same.
void CombinedQueryEngine::runNext(std::shared_ptr<QList<Step>> stream) {
    const QPointer<CombinedQueryEngine> self(this);
    const QObject* requests = requests_.get();
    while (!stream->isEmpty() && stream->first().kind == Step::BatchEnd) {
        stream->removeFirst();
        ++batchesDone_;
        Q_EMIT batchDone();
        if (!self || requests_.get() != requests) return;
        if (isComplete()) {
            Q_EMIT completed();
            if (!self || requests_.get() != requests) return;
        }
    }
    if (stream->isEmpty()) {
        if (--runningStreams_ == 0) Q_EMIT finished();
        return;
    }
    const Step step = stream->takeFirst();
    if (step.kind == Step::PageRank) {
        PageRankLookupAsync(rules_[Figure::PageRank], domain_, budget_.get(), requests_.get(), [this, stream](const ValueResult& r) {
            if (deliver(Figure::PageRank, r)) runNext(stream);
        });
        return;
    }
    const Figure figure = step.figure;
    RunCountRowAsync(rules_[figure], domain_, budget_.get(), requests_.get(), [this, stream, figure](const ValueResult& r) {
        if (deliver(figure, r)) runNext(stream);
    });
}

bool CombinedQueryEngine::deliver(Figure figure, const ValueResult& result) {
    const QPointer<CombinedQueryEngine> self(this);
    const QObject* requests = requests_.get();
    values_[figure] = result.text;
    results_[size_t(figure)] = result;
    Q_EMIT figureReady(figure, result.text);
    return self && requests_.get() == requests;
}

}  // namespace zorvan
