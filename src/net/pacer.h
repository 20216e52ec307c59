#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>

namespace zorvan {

// The way out a request takes to a host: straight (as the desktop's settings say), or through
// the proxy of that index in the list in use.
struct Exit {
    int proxy = -1;
    bool direct() const { return proxy < 0; }
    friend bool operator==(const Exit&, const Exit&) = default;
};
inline constexpr Exit DirectExit{};

// Keeps a minimum gap between the starts of two requests to one host, for everything a process
// asks, and the waits the services ask for. A host is an address authority ("host:port"); each
// exit to it is paced on its own, so a request may leave by the exit whose turn comes first.
// Thread-safe; times are milliseconds on the pacer's monotonic clock.
class HostPacer {
  public:
    // Monotonic milliseconds; the default reads a clock started with the pacer.
    using Clock = std::function<qint64()>;
    explicit HostPacer(Clock clock = {});
    static HostPacer& global();

    // The gap for every host without a value of its own; 0 asks for no wait at all.
    void setInterval(int ms);
    void setHostInterval(const QString& host, int ms);
    int interval(const QString& host) const;

    // A start reserved for one request: the exit to take (an index into the exits asked about),
    // when, and how long from now that is (0: at once, and the request counts as gone).
    struct Slot {
        int exit = 0;
        qint64 startMs = 0;
        qint64 waitMs = 0;
        quint64 epoch = 0;     // the lane's state when reserved; a pause or slow-down changes it
        quint64 ticket = 0;    // the reservation held while waiting; 0: none
        bool givenUp = false;  // every exit asked about is closed to host: do not ask
    };
    // With skipClosed, exits closed to a host that keeps refusing are passed over.
    Slot reserve(const QString& host, const QList<Exit>& exits = {DirectExit},
                 bool skipClosed = false);
    // Whether a reserved start still holds at its time. A timer may fire early, and a pause or a
    // slow-down since the reservation voids it: then the request gets a new slot.
    Slot confirm(const Slot& slot, const QString& host, const QList<Exit>& exits = {DirectExit},
                 bool skipClosed = false);
    // A reserved start that will not be taken: the requests after it need not keep a gap from it.
    void release(const Slot& slot, const QString& host, const QList<Exit>& exits = {DirectExit});
    // A request to host by exit has really left: the next one keeps its gap from now, whatever
    // its reservation said. Until a request given its turn is written (or notSent), the host is
    // held: its write may come late, and the next start keeps a whole gap from it.
    void depart(const QString& host, Exit exit = DirectExit);
    // A request given its turn ended without being written: the host is no longer held for it.
    void notSent(const QString& host, Exit exit = DirectExit);

    // The service asked for a wait: nothing starts to host by exit within ms (capped at
    // MaxPauseMs). True when that holds the host longer than before.
    bool pause(const QString& host, qint64 ms, Exit exit = DirectExit);
    // The host asked to slow down without saying how much: its gap doubles, from at least
    // MinSlowGapMs up to MaxGapMs, for as long as the pacer lives, and the next start waits a
    // whole gap. An answer to a request that started before the last slow-down doubles nothing
    // more: many requests in flight at once tell of one overload. The gap now, or nothing when
    // this answer changed nothing.
    std::optional<qint64> slowDown(const QString& host, qint64 requestStartMs,
                                   Exit exit = DirectExit);

    // A host that keeps refusing is given up, as crawlers do: after MaxRefusals refusals in a row
    // by one exit, or a wait asked for beyond MaxPauseMs, that exit is closed to it. One probe
    // may go every ProbeAfterMs; an answer that is no refusal opens the exit again. Each returns
    // true when host is now closed on every one of exits where it was not before, and then tells
    // the handler.
    bool noteRefusal(const QString& host, Exit exit, const QList<Exit>& exits);
    bool giveUp(const QString& host, Exit exit, const QList<Exit>& exits);
    void noteAccepted(const QString& host, Exit exit);
    bool isClosed(const QString& host, const QList<Exit>& exits) const;
    void setGivenUpHandler(std::function<void(const QString& host)> handler);

    qint64 now() const { return clock_(); }

    static constexpr qint64 MaxPauseMs = 10 * 60 * 1000;
    static constexpr qint64 MinSlowGapMs = 1000;
    static constexpr qint64 MaxGapMs = 60 * 1000;
    static constexpr int MaxRefusals = 3;
    static constexpr qint64 ProbeAfterMs = 10 * 60 * 1000;

  private:
    struct Lane {
        qint64 lastStart = std::numeric_limits<qint64>::min() / 2;  // when a request last left
        int leaving = 0;                     // requests given their turn and not yet written
        std::map<quint64, qint64> reserved;  // starts promised to requests still waiting
        qint64 pausedUntil = 0;
        qint64 heldUntil = 0;  // a slow-down holds the next start a whole gap
        qint64 slowGap = 0;
        qint64 slowedAt = -1;
        quint64 epoch = 0;
        int refusalsInARow = 0;
        bool closed = false;
        qint64 probeAt = 0;  // when a closed lane may let one request through
    };
    static QString laneKey(Exit exit, const QString& host) {
        return QString::number(exit.proxy) + u' ' + host;
    }
    int intervalLocked(const QString& host) const;
    qint64 gapLocked(const QString& host, const Lane& lane) const;
    qint64 afterLastLocked(const QString& host, const Lane& lane, qint64 now) const;
    qint64 earliestLocked(const QString& host, const Lane& lane, qint64 now) const;
    void takeTurnLocked(Lane& lane, qint64 at);
    // A pause or slow-down voids every promised start: their requests ask again.
    void changedLocked(Lane& lane);
    Slot reserveLocked(const QString& host, const QList<Exit>& exits, qint64 now, bool skipClosed);
    bool closedLocked(const QString& host, const QList<Exit>& exits) const;
    bool closeLocked(const QString& host, Lane& lane, const QList<Exit>& exits);
    void tell(bool closed, const QString& host);

    mutable std::mutex mutex_;
    QHash<QString, Lane> lanes_;
    QHash<QString, int> hostIntervals_;
    int interval_ = 0;
    quint64 tickets_ = 0;
    Clock clock_;
    std::function<void(const QString&)> givenUp_;
};

// A Retry-After value as a wait from now: whole seconds, or an HTTP date (a date gone by waits
// nothing). Nothing for a value that is neither.
std::optional<qint64> retryAfterMs(const QByteArray& value, const QDateTime& nowUtc);

}  // namespace zorvan
