#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "net/fetch.h"
#include "net/pacer.h"
#include "net/proxies.h"
#include "net/valuefetch.h"

namespace zorvan {

class RequestSequencer;
struct ChainState;
struct PendingRequest;

// A handle on one running chain, handed to its steps and kept by their fetches' handlers.
class Chain {
  public:
    // Asks address under the run's limits; then gets the answer later, from the event loop, unless
    // the run is reset or its sequencer deleted first. The chain goes on to its next step once a
    // handler returns without having asked anything more, so one step may be several requests.
    void fetch(const QString& address, std::function<void(const FetchResult&)> then) const;
    // Runs step right after the current one, before the steps already queued (in the order given).
    void then(std::function<void(const Chain&)> step) const;

  private:
    friend class RequestSequencer;
    Chain(RequestSequencer* sequencer, std::shared_ptr<ChainState> state)
        : sequencer_(sequencer), state_(std::move(state)) {}
    RequestSequencer* sequencer_;
    std::shared_ptr<ChainState> state_;
};

using ChainStep = std::function<void(const Chain&)>;

// Runs chains of steps on the calling thread's event loop: within a chain one step after another,
// chains side by side. Everything a step or a handler does (a signal whose receiver deletes the
// sequencer's owner, or resets the run) is safe: nothing of an old run is touched afterwards.
// Deleting the sequencer aborts every request in flight. All requests go out through one place,
// where a per-host pace or a wait asked for by a service can be kept: every request starts when
// the pacer gives its host's turn, and leaves through the exit the sequencer chose among the
// proxies of the pool still alive (the process's own pacer and pool unless others are given).
class RequestSequencer : public QObject {
    Q_OBJECT
  public:
    explicit RequestSequencer(QObject* parent = nullptr, HostPacer& pacer = HostPacer::global(),
                              ProxyPool& proxies = ProxyPool::global());
    ~RequestSequencer() override;

    // Drops every chain of the run (requests in flight are aborted, turns reserved given back)
    // and starts a new one. With a
    // deadline the run is one query: no request outlives it, and a host that did not answer is not
    // asked again. Without, each request has the plain fetch limits.
    void reset(std::optional<int> deadlineMs = std::nullopt);

    // Appends steps to the chain of that name, starting it when it is not running.
    void run(const QString& chain, QList<ChainStep> steps);
    bool isIdle() const { return chains_.isEmpty(); }

    // Patient: an answer that asks the host to slow down is obeyed for every later request, and
    // the request is asked again once the host's wait is over (a refusal at most
    // MaxBlockedRetries times); a host that keeps refusing is given up (HostPacer::noteRefusal)
    // and its later requests answered GivenUp unasked. Impatient (the default): each answer is
    // handed on as it came.
    void setPatient(bool patient) { patient_ = patient; }

    static constexpr int MaxBlockedRetries = 2;
    // Retry-After waits obeyed for one request before its answer is handed on as it is; a
    // service that asks for ever must not hold a run for ever.
    static constexpr int MaxAskedWaits = 5;
    // Proxies tried again for one request after the one it went through failed.
    static constexpr int MaxProxyRetries = 8;

  Q_SIGNALS:
    // The last running chain has ended.
    void idle();
    // A host is held: no request starts to it for seconds, as its answer (reason) asked.
    void waiting(const QString& host, double seconds, const QString& reason);

  private:
    friend class Chain;
    void advance(const std::shared_ptr<ChainState>& chain);
    void send(const std::shared_ptr<ChainState>& chain, const QString& address,
              std::function<void(const FetchResult&)> then);
    void pace(const std::shared_ptr<PendingRequest>& request);
    void waitTurn(const std::shared_ptr<PendingRequest>& request);
    void answerUnasked(const std::shared_ptr<PendingRequest>& request, const FetchResult& answer);
    void releaseTurns();
    // tookTurn: the pacer gave the request its host's turn, held until the request is written.
    void ask(const std::shared_ptr<PendingRequest>& request, bool tookTurn);
    bool askAgain(const std::shared_ptr<PendingRequest>& request, FetchResult& answer);

    QHash<QString, std::shared_ptr<ChainState>> chains_;
    std::unique_ptr<FetchBudget> budget_;
    // Parent of every request in flight: dropping it aborts them all.
    std::unique_ptr<QObject> requests_;
    // Requests holding a reserved turn while they wait for it.
    std::set<PendingRequest*> waitingTurn_;
    quint64 run_ = 0;
    HostPacer* pacer_;
    ProxyPool* proxies_;
    bool patient_ = false;
};

// The charset-sniffing value fetch on a chain: the page decoded as code page 936; when it declares
// a charset ("charset=" up to the next double quote), the same address twice more, the first
// decoded as code page 936 and the second as UTF-8, keeping the first when the declared value is
// exactly "gb2312". Then the cut between the markers with commas removed, or "X".
void fetchValue(const Chain& chain, const ValueRule& rule,
                std::function<void(const ValueResult&)> done);

// One page as a chain step: its text decoded as charset, empty for a failed fetch or a page that
// is no result (a block or error page).
ChainStep fetchPageText(std::function<QString()> address, const QString& charset,
                        std::function<void(const QString&)> done);

}  // namespace zorvan
