#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <array>

#include "engines/countrows.h"
#include "engines/rules.h"
#include "net/sequencer.h"
#include "vocab/figures.h"

namespace zorvan {

struct QueryStep;

// The combined query of one domain, shared by the window and the command. Two streams of
// requests run side by side, each strictly one request after another: the window's batch (rows
// W1 to W6, then the PageRank lookup) and the engine, Youdao and Sogou/Yahoo batches. Each figure
// is reported the moment its row is done, each of the four batches when its last row is, so a
// receiver sees a batch end only after every figure of that batch.
//
// Everything runs on the calling thread's event loop; no fetch ever waits inside a handler, so
// whoever drives the engine may be deleted, or delete the engine, at any time: pending requests
// are aborted and nothing more is reported.
//
// Each row is read by the rule in effect when the query starts (rules.json over the built-ins).
//
// Within one query a host that did not answer (time-out, refused, reset) is not asked again, and
// the whole query ends by its deadline: a request never outlives it, and every row still without
// an answer then gives "X". Time spent waiting for a host's turn is not counted (FetchBudget), so
// a pace kept or a wait a service asked for never turns into "X".
class CombinedQueryEngine : public QObject {
    Q_OBJECT
  public:
    explicit CombinedQueryEngine(QObject* parent = nullptr);
    ~CombinedQueryEngine() override;

    // The default deadline of a whole query.
    static constexpr int DefaultDeadlineMs = 60000;
    void setDeadlineMs(int ms) { deadlineMs_ = ms; }
    // Obeys the services' requests to slow down and asks a refused row again (see
    // RequestSequencer::setPatient); the window's single query stays impatient: its timing and
    // requests are what the services have always seen.
    void setPatient(bool patient) { requests_->setPatient(patient); }

    // Starts both streams for the domain (used as given, never trimmed).
    void start(const QString& domain);
    // Only the PageRank lookup, as a query of an empty domain box asks.
    void startPageRankOnly(const QString& domain);

    const QString& domain() const { return domain_; }
    const FigureValues& values() const { return values_; }
    const ValueResult& result(Figure figure) const { return results_[size_t(figure)]; }
    bool isFinished() const { return requests_->isIdle(); }
    // All four batches have ended: every figure but PageRank has arrived.
    bool isComplete() const { return batchesDone_ == BatchCount; }

  Q_SIGNALS:
    void figureReady(zorvan::Figure figure, const QString& text);
    // Four times per full query: the window batch, then (in any interleaving with it) the engine,
    // Youdao and Sogou/Yahoo batches.
    void batchDone();
    // Once per full query, right after the fourth batch: the query is complete.
    void completed();
    // Both streams have ended, the PageRank lookup included.
    void finished();
    // A service asked its host to wait (only when patient).
    void waiting(const QString& host, double seconds, const QString& reason);

  private:
    // The window batch and PageRank lookup, and beside them the three count batches.
    void begin(const QString& domain, const QList<QueryStep>& windowBatch,
               const QList<QueryStep>& countBatches);
    ChainStep stepFor(const QueryStep& step);
    void deliver(Figure figure, const ValueResult& result);

    QString domain_;
    int deadlineMs_ = DefaultDeadlineMs;
    RuleSet rules_;
    RequestSequencer* requests_;
    FigureValues values_;
    std::array<ValueResult, FigureCount> results_;
    static constexpr int BatchCount = 4;
    int batchesDone_ = 0;
};

// Why each figure of a finished query is what it is, by figure.
std::array<Verdict, FigureCount> figureVerdicts(const CombinedQueryEngine& query);

// Why each figure that shows "X" has none.
QMap<Figure, Verdict> missingReasons(const FigureValues& values,
                                     const std::array<Verdict, FigureCount>& verdicts);
QMap<Figure, Verdict> missingReasons(const CombinedQueryEngine& query);

}  // namespace zorvan
