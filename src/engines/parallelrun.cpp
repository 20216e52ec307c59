#include "engines/parallelrun.h"

#include <QPointer>

namespace zorvan {

namespace {
// How far past the first unreported domain queries may start, in jobs: enough that one slow
// domain does not idle the others for a while, bounded so finished results never pile up.
constexpr int WindowJobs = 4;
}  // namespace

ParallelRun::ParallelRun(int jobs, QObject* parent)
    : QObject(parent), jobs_(std::max(1, jobs)), window_(std::max(1, jobs) * WindowJobs) {}

ParallelRun::~ParallelRun() {
    qDeleteAll(engines_);
}

void ParallelRun::start(const QStringList& domains) {
    domains_ = domains;
    next_ = reported_ = 0;
    if (domains_.isEmpty()) {
        Q_EMIT finished();
        return;
    }
    fill();
}

void ParallelRun::fill() {
    const QPointer<ParallelRun> self(this);
    while (inFlight() < jobs_ && next_ < domains_.size() && next_ < reported_ + window_) {
        const int index = next_++;
        Q_EMIT domainStarted(index, domains_[index]);
        if (!self) return;
        auto* engine = new CombinedQueryEngine(this);
        engine->setDeadlineMs(deadlineMs_);
        engine->setPatient(patient_);
        connect(engine, &CombinedQueryEngine::waiting, this, &ParallelRun::waiting);
        engines_.insert(index, engine);
        // Seen from the event loop, never inside the engine's own report, so the engine may be
        // deleted from there.
        connect(
            engine, &CombinedQueryEngine::finished, this, [this, index] { onFinished(index); },
            Qt::QueuedConnection);
        engine->start(domains_[index]);
    }
}

void ParallelRun::onFinished(int index) {
    if (!engines_.contains(index) || finished_.contains(index)) return;
    finished_.insert(index);
    const QPointer<ParallelRun> self(this);
    while (finished_.contains(reported_)) {
        const int at = reported_++;
        CombinedQueryEngine* engine = engines_.take(at);
        finished_.remove(at);
        Q_EMIT domainDone(at, engine);
        // A receiver that deleted the run took the engine with it, as its child.
        if (!self) return;
        delete engine;
    }
    fill();
    if (self && reported_ == domains_.size()) Q_EMIT finished();
}

}  // namespace zorvan
