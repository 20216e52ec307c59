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

CombinedQueryEngine::CombinedQueryEngine(QObject* parent)
    : QObject(parent), requests_(new RequestSequencer(this)) {
    connect(requests_, &RequestSequencer::idle, this, &CombinedQueryEngine::finished);
    connect(requests_, &RequestSequencer::waiting, this, &CombinedQueryEngine::waiting);
}

CombinedQueryEngine::~CombinedQueryEngine() = default;

void CombinedQueryEngine::start(const QString& domain) {
    QList<Step> windowBatch, countBatches;
    addBatch(windowBatch, windowBatchRows());
    windowBatch.append(Step{Step::PageRank});
    addBatch(countBatches, engineBatchRows());
    addBatch(countBatches, youdaoBatchRows());
    addBatch(countBatches, sogouYahooBatchRows());
    begin(domain, windowBatch, countBatches);
}

void CombinedQueryEngine::startPageRankOnly(const QString& domain) {
    begin(domain, {{Step::PageRank}}, {});
}

// A new start drops whatever an earlier one still had in flight. A receiver may delete the
// engine, or start it again, from any signal: the sequencer then touches nothing more.
void CombinedQueryEngine::begin(const QString& domain, const QList<Step>& windowBatch,
                                const QList<Step>& countBatches) {
    requests_->reset(deadlineMs_);
    rules_ = rulesForNewRun().rules;
    domain_ = domain;
    values_ = FigureValues();
    results_ = {};
    batchesDone_ = 0;
    const std::pair<QString, const QList<Step>*> streams[] = {
        {QStringLiteral("window batch"), &windowBatch},
        {QStringLiteral("count batches"), &countBatches}};
    for (const auto& [name, steps] : streams) {
        QList<ChainStep> chain;
        for (const Step& step : *steps) chain.append(stepFor(step));
        if (!chain.isEmpty()) requests_->run(name, chain);
    }
}

ChainStep CombinedQueryEngine::stepFor(const QueryStep& step) {
    switch (step.kind) {
        case Step::BatchEnd:
            return [this](const Chain&) {
                const int done = ++batchesDone_;
                const QPointer<CombinedQueryEngine> self(this);
                Q_EMIT batchDone();
                // Unless a receiver deleted or restarted the engine meanwhile.
                if (self && batchesDone_ == done && isComplete()) Q_EMIT completed();
            };
        case Step::PageRank:
            return [this](const Chain& chain) {
                pageRankLookupAsync(chain, rules_[Figure::PageRank], domain_,
                                    [this](const ValueResult& r) { deliver(Figure::PageRank, r); });
            };
        case Step::Row:
            break;
    }
    const Figure figure = step.figure;
    return [this, figure](const Chain& chain) {
        runCountRowAsync(chain, rules_[figure], domain_,
                         [this, figure](const ValueResult& r) { deliver(figure, r); });
    };
}

void CombinedQueryEngine::deliver(Figure figure, const ValueResult& result) {
    values_[figure] = result.text;
    results_[size_t(figure)] = result;
    Q_EMIT figureReady(figure, result.text);
}

QMap<Figure, Verdict> missingReasons(const FigureValues& values,
                                     const std::array<Verdict, FigureCount>& verdicts) {
    QMap<Figure, Verdict> reasons;
    for (const FigureInfo& info : figureTable()) {
        if (values[info.figure] == NotFoundMark)
            reasons.insert(info.figure, verdicts[size_t(info.figure)]);
    }
    return reasons;
}

QMap<Figure, Verdict> missingReasons(const CombinedQueryEngine& query) {
    return missingReasons(query.values(), figureVerdicts(query));
}

std::array<Verdict, FigureCount> figureVerdicts(const CombinedQueryEngine& query) {
    std::array<Verdict, FigureCount> verdicts{};
    for (const FigureInfo& f : figureTable())
        verdicts[size_t(f.figure)] = query.result(f.figure).verdict;
    return verdicts;
}

}  // namespace zorvan
