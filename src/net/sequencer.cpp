#include "net/sequencer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "net/pacer.h"
#include "net/proxies.h"

namespace zorvan {

// One request from its first turn to the answer handed on, across the times it is asked.
struct PendingRequest {
    QString address;
    QString host;
    std::function<void(const FetchResult&)> handle;
    HostPacer::Slot slot;
    QList<Exit> exits;  // the ways out the slot was reserved among
    Exit exit = DirectExit;
    int proxyRetries = 0;
    std::optional<Exit> failedExit;  // the proxy that failed the last time it was asked
    qint64 startedAt = 0;            // on the pacer's clock
    int blockedRetries = 0;
    int askedWaits = 0;
};

struct ChainState {
    QString name;
    quint64 run = 0;
    QList<ChainStep> steps;
    qsizetype insertAt = 0;  // where then() puts the next step of the current one
    bool asking = false;     // a request of the current step is in flight
};

void Chain::fetch(const QString& address, std::function<void(const FetchResult&)> then) const {
    sequencer_->send(state_, address, std::move(then));
}

void Chain::then(ChainStep step) const {
    state_->steps.insert(state_->insertAt++, std::move(step));
}

RequestSequencer::RequestSequencer(QObject* parent, HostPacer& pacer, ProxyPool& proxies)
    : QObject(parent), requests_(std::make_unique<QObject>()), pacer_(&pacer), proxies_(&proxies) {}

RequestSequencer::~RequestSequencer() {
    releaseTurns();
}

// A turn reserved and never taken would hold the next request to its host behind it.
void RequestSequencer::releaseTurns() {
    for (PendingRequest* request : std::exchange(waitingTurn_, {}))
        pacer_->release(request->slot, request->host, request->exits);
}

void RequestSequencer::reset(std::optional<int> deadlineMs) {
    ++run_;
    releaseTurns();
    requests_ = std::make_unique<QObject>();
    budget_ = deadlineMs ? std::make_unique<FetchBudget>(*deadlineMs) : nullptr;
    chains_.clear();
}

void RequestSequencer::run(const QString& name, QList<ChainStep> steps) {
    if (const auto running = chains_.value(name)) {
        running->steps.append(std::move(steps));
        return;
    }
    auto chain = std::make_shared<ChainState>();
    chain->name = name;
    chain->run = run_;
    chain->steps = std::move(steps);
    chains_.insert(name, chain);
    advance(chain);
}

// Steps and handlers may delete the sequencer or reset its run: after each, nothing is touched
// unless both are still the same.
void RequestSequencer::advance(const std::shared_ptr<ChainState>& chain) {
    const QPointer<RequestSequencer> self(this);
    while (!chain->asking) {
        if (chain->steps.isEmpty()) {
            chains_.remove(chain->name);
            if (chains_.isEmpty()) Q_EMIT idle();
            return;
        }
        const ChainStep step = chain->steps.takeFirst();
        chain->insertAt = 0;
        step(Chain(this, chain));
        if (!self || run_ != chain->run) return;
    }
}

void RequestSequencer::send(const std::shared_ptr<ChainState>& chain, const QString& address,
                            std::function<void(const FetchResult&)> then) {
    chain->asking = true;
    auto request = std::make_shared<PendingRequest>();
    request->address = address;
    request->host = addressAuthority(address);
    request->handle = [this, chain, then = std::move(then)](const FetchResult& result) {
        const QPointer<RequestSequencer> self(this);
        chain->asking = false;
        chain->insertAt = 0;
        then(result);
        if (self && run_ == chain->run) advance(chain);
    };
    pace(request);
}

// A request to a host already silent in this query is never made, so it takes no turn.
void RequestSequencer::pace(const std::shared_ptr<PendingRequest>& request) {
    if (budget_ && !budget_->silence(request->address).isEmpty()) return ask(request, false);
    request->exits = proxies_->active() ? proxies_->liveExits() : QList<Exit>{DirectExit};
    // Asked again after a proxy failed it: through another one when any other is alive.
    if (request->failedExit && request->exits.size() > 1)
        request->exits.removeOne(*request->failedExit);
    if (request->exits.isEmpty()) {
        proxies_->noteRefused();
        FetchResult none;
        none.outcome = FetchOutcome::NoProxy;
        none.detail = QStringLiteral("所有代理均已失效");
        return answerUnasked(request, none);
    }
    request->slot = pacer_->reserve(request->host, request->exits, patient_);
    waitTurn(request);
}

// With no gap and no wait the request goes out at once, as it always has: no timer in between.
void RequestSequencer::waitTurn(const std::shared_ptr<PendingRequest>& request) {
    if (request->slot.givenUp) {
        FetchResult refused;
        refused.outcome = FetchOutcome::GivenUp;
        refused.detail = QStringLiteral("多次拒绝，本次运行不再询问");
        return answerUnasked(request, refused);
    }
    request->exit = request->exits.value(request->slot.exit, DirectExit);
    if (request->slot.waitMs <= 0) return ask(request, true);
    if (budget_) budget_->excuseWait(request->slot.waitMs);
    waitingTurn_.insert(request.get());
    QTimer::singleShot(std::chrono::milliseconds(request->slot.waitMs), Qt::PreciseTimer,
                       requests_.get(), [this, request] {
                           waitingTurn_.erase(request.get());
                           request->slot = pacer_->confirm(request->slot, request->host,
                                                           request->exits, patient_);
                           waitTurn(request);
                       });
}

// What asking would give is known already: handed on from the event loop, as an answer would be.
void RequestSequencer::answerUnasked(const std::shared_ptr<PendingRequest>& request,
                                     const FetchResult& answer) {
    QMetaObject::invokeMethod(
        requests_.get(), [request, answer] { request->handle(answer); }, Qt::QueuedConnection);
}

namespace {

// A turn the pacer gave, handed back when the request is written or, unwritten, when its fetch
// ends: the copies of the fetch's options that hold it are gone, however it ended.
class Departure {
  public:
    Departure(HostPacer& pacer, QString host, Exit exit)
        : pacer_(pacer), host_(std::move(host)), exit_(exit) {}
    ~Departure() {
        if (!written_) pacer_.notSent(host_, exit_);
    }
    Departure(const Departure&) = delete;
    Departure& operator=(const Departure&) = delete;
    void written() {
        if (std::exchange(written_, true)) return;
        pacer_.depart(host_, exit_);
    }

  private:
    HostPacer& pacer_;
    QString host_;
    Exit exit_;
    bool written_ = false;
};

}  // namespace

void RequestSequencer::ask(const std::shared_ptr<PendingRequest>& request, bool tookTurn) {
    request->startedAt = pacer_->now();
    FetchOptions options = budget_ ? budget_->optionsFor(request->address) : defaultFetchOptions();
    if (!request->exit.direct()) options.proxy = proxies_->proxy(request->exit.proxy);
    // The host's gap counts from when the request really left, which may be later than its turn.
    if (tookTurn)
        options.sent = [departure = std::make_shared<Departure>(
                            *pacer_, request->host, request->exit)] { departure->written(); };
    // Waiting for a connection to the host is no silence of the service.
    if (budget_)
        options.leaving = [budget = budget_.get()](qint64 queuedMs) {
            budget->excuseQueued(queuedMs);
        };
    // A request not made because its host was silent before tells that earlier reason.
    const QString silence = budget_ ? budget_->silence(request->address) : QString();
    FetchBudget* budget = budget_.get();
    fetchAsync(request->address, options, requests_.get(),
               [this, budget, request, silence](const FetchResult& r) {
                   // A proxy that fails again and again is dropped for the run.
                   if (!request->exit.direct())
                       proxies_->noteResult(request->exit.proxy, r.proxyFailed);
                   // A failed proxy says nothing of the service behind it.
                   if (budget && !r.proxyFailed) budget->noteResult(request->address, r);
                   FetchResult answer = r;
                   if (!silence.isEmpty()) answer.detail = silence;
                   if (!askAgain(request, answer)) request->handle(answer);
               });
}

// True when the answer is not handed on: the request waits for its host and is asked again (or
// a receiver of the wait's news ended this run). The answer handed on may be replaced.
bool RequestSequencer::askAgain(const std::shared_ptr<PendingRequest>& request,
                                FetchResult& answer) {
    // A proxy that failed is no answer of the service: the next proxy alive is tried, a bounded
    // number of times, however patient the caller.
    if (answer.proxyFailed && request->proxyRetries++ < MaxProxyRetries && proxies_->anyAlive()) {
        request->failedExit = request->exit;
        pace(request);
        return true;
    }
    if (!patient_ || !answer.answered()) return false;
    if (isRefusal(answer))
        pacer_->noteRefusal(request->host, request->exit, request->exits);
    else
        pacer_->noteAccepted(request->host, request->exit);
    const auto slow = slowDownAsked(answer, QDateTime::currentDateTimeUtc());
    if (!slow) return false;
    // A wait past the cap is a refusal for longer than a run may be held.
    if (slow->waitMs && *slow->waitMs > HostPacer::MaxPauseMs)
        pacer_->giveUp(request->host, request->exit, request->exits);
    if (pacer_->isClosed(request->host, request->exits)) {
        answer.outcome = FetchOutcome::GivenUp;
        answer.detail = QStringLiteral("多次拒绝，本次运行不再询问");
        return false;
    }
    std::optional<qint64> held;
    bool again = false;
    if (slow->waitMs) {
        if (pacer_->pause(request->host, *slow->waitMs, request->exit)) held = *slow->waitMs;
        again = request->askedWaits++ < MaxAskedWaits;
    } else {
        held = pacer_->slowDown(request->host, request->startedAt, request->exit);
        again = slow->blocked && request->blockedRetries++ < MaxBlockedRetries;
    }
    if (held) {
        const QPointer<RequestSequencer> self(this);
        const quint64 run = run_;
        Q_EMIT waiting(request->host, double(std::min(*held, HostPacer::MaxPauseMs)) / 1000.0,
                       slow->reason);
        if (!self || run_ != run) return true;
    }
    if (again) pace(request);
    return again;
}

namespace {

// The state of one value fetch across its one or three requests.
struct ValueFetch {
    ValueRule rule;
    std::function<void(const ValueResult&)> done;
    QElapsedTimer clock;
    QString declared;
    FetchResult gb;
    bool refused = false;  // one of its requests met a refusal

    const FetchResult& note(const FetchResult& page) {
        refused = refused || isRefusal(page);
        return page;
    }

    void cut(const FetchResult& page, const QString& text) {
        ValueResult r = valueNotFound(rule.url, rule.start, page, text);
        r.charset = declared;
        // Only a result page is cut: a block page that quotes a count is still a block page.
        if (r.verdict == Verdict::NotFound) {
            if (const auto value = cutValue(text, rule.start, rule.end)) {
                r.text = *value;
                r.verdict = Verdict::Ok;
            } else if (refused) {
                // The marker may be missing only because the service refused to show the page.
                r.verdict = Verdict::Blocked;
            }
        }
        r.ms = clock.elapsed();
        done(r);
    }
};

}  // namespace

void fetchValue(const Chain& chain, const ValueRule& rule,
                std::function<void(const ValueResult&)> done) {
    auto state = std::make_shared<ValueFetch>(ValueFetch{rule, std::move(done), {}, {}, {}, false});
    state->clock.start();
    chain.fetch(rule.url, [chain, state](const FetchResult& first) {
        state->note(first);
        const QString page = BytesToText(first.body, QStringLiteral("gb2312"));
        const auto declared = declaredCharset(page);
        if (!declared) {
            state->cut(first, page);
            return;
        }
        // Both later requests are made whatever the declaration says; the services count on
        // nothing else, and the request pattern is part of how the tool is known to behave.
        state->declared = *declared;
        chain.fetch(state->rule.url, [chain, state](const FetchResult& asGb) {
            state->gb = state->note(asGb);
            chain.fetch(state->rule.url, [state](const FetchResult& asUtf8) {
                state->note(asUtf8);
                const QString charset = valueCharset(state->declared);
                const FetchResult& kept = charset == QStringLiteral("gb2312") ? state->gb : asUtf8;
                state->cut(kept, BytesToText(kept.body, charset));
            });
        });
    });
}

ChainStep fetchPageText(std::function<QString()> address, const QString& charset,
                        std::function<void(const QString&)> done) {
    return [address = std::move(address), charset, done = std::move(done)](const Chain& chain) {
        chain.fetch(address(), [charset, done](const FetchResult& page) {
            done(resultPageText(page, charset));
        });
    };
}

}  // namespace zorvan
