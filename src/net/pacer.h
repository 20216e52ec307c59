#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>

namespace zorvan {

// The way out a request takes to a host: straight, or (later) through one of several proxies.
inline const QString DirectExit = QStringLiteral("direct");

// Keeps a minimum gap between the starts of two requests to one host, for everything a process
// asks, and the waits the services ask for. A host is an address authority ("host:port"); each
// exit to it is paced on its own, so a request may leave by the exit whose turn comes first.
// Thread-safe; times are milliseconds on the pacer's own monotonic clock.
class HostPacer {
  public:
    HostPacer();
    static HostPacer& global();

    // The gap for every host without a value of its own; 0 asks for no wait at all.
    void setInterval(int ms);
    void setHostInterval(const QString& host, int ms);
    int interval(const QString& host) const;

    // A start reserved for one request: the exit to take (an index into the exits asked about),
    // when, and how long from now that is (0: at once).
    struct Slot {
        int exit = 0;
        qint64 startMs = 0;
        qint64 waitMs = 0;
        quint64 epoch = 0;     // the lane's state when reserved; a pause or slow-down changes it
        bool givenUp = false;  // every exit asked about is closed to host: do not ask
    };
    // With skipClosed, exits closed to a host that keeps refusing are passed over.
    Slot reserve(const QString& host, const QStringList& exits = {DirectExit},
                 bool skipClosed = false);
    // Whether a reserved start still holds at its time. A timer may fire early, and a pause or a
    // slow-down since the reservation voids it: then the request gets a new slot.
    Slot confirm(const Slot& slot, const QString& host, const QStringList& exits = {DirectExit},
                 bool skipClosed = false);

    // A host that keeps refusing is given up, as crawlers do: after MaxRefusals refusals in a row
    // by one exit, or a wait asked for beyond MaxPauseMs, that exit is closed to it. One probe
    // may go every ProbeAfterMs; an answer that is no refusal opens the exit again. Each returns
    // true when host is now closed on every one of exits where it was not before, and then tells
    // the handler.
    bool noteRefusal(const QString& host, const QString& exit, const QStringList& exits);
    bool giveUp(const QString& host, const QString& exit, const QStringList& exits);
    void noteAccepted(const QString& host, const QString& exit);
    bool isClosed(const QString& host, const QStringList& exits) const;
    void setGivenUpHandler(std::function<void(const QString& host)> handler);

    // A request to host by exit has really left: the next one keeps its gap from now, whatever
    // its reservation said.
    void depart(const QString& host, const QString& exit = DirectExit);

    // The service asked for a wait: nothing starts to host by exit within ms (capped at
    // MaxPauseMs). True when that holds the host longer than before.
    bool pause(const QString& host, qint64 ms, const QString& exit = DirectExit);
    // The host asked to slow down without saying how much: its gap doubles, from at least
    // MinSlowGapMs up to MaxGapMs, for as long as the pacer lives, and the next start waits a
    // whole gap. An answer to a request that started before the last slow-down doubles nothing
    // more: many requests in flight at once tell of one overload. The gap now, or nothing when
    // this answer changed nothing.
    std::optional<qint64> slowDown(const QString& host, qint64 requestStartMs,
                                   const QString& exit = DirectExit);

    qint64 now() const { return clock_.elapsed(); }

    static constexpr qint64 MaxPauseMs = 10 * 60 * 1000;
    static constexpr qint64 MinSlowGapMs = 1000;
    static constexpr qint64 MaxGapMs = 60 * 1000;
    static constexpr int MaxRefusals = 3;
    static constexpr qint64 ProbeAfterMs = 10 * 60 * 1000;

  private:
    struct Lane {
        qint64 nextStart = 0;
        qint64 lastStart = std::numeric_limits<qint64>::min() / 2;  // when a request last left
        qint64 pausedUntil = 0;
        qint64 slowGap = 0;
        qint64 slowedAt = -1;
        quint64 epoch = 0;
        int refusalsInARow = 0;
        bool closed = false;
        qint64 probeAt = 0;  // when a closed lane may let one request through
    };
    static QString laneKey(const QString& exit, const QString& host) { return exit + u' ' + host; }
    int intervalLocked(const QString& host) const;
    qint64 gapLocked(const QString& host, const Lane& lane) const;
    // A request leaves now: the next one waits a whole gap from here, even when this one was late.
    void departLocked(const QString& host, Lane& lane, qint64 at);
    Slot reserveLocked(const QString& host, const QStringList& exits, qint64 now, bool skipClosed);
    bool closedLocked(const QString& host, const QStringList& exits) const;
    bool closeLocked(const QString& host, Lane& lane, const QStringList& exits);
    void tell(bool closed, const QString& host);

    mutable std::mutex mutex_;
    QHash<QString, Lane> lanes_;
    QHash<QString, int> hostIntervals_;
    int interval_ = 0;
    QElapsedTimer clock_;
    std::function<void(const QString&)> givenUp_;
};

// A Retry-After value as a wait from now: whole seconds, or an HTTP date (a date gone by waits
// nothing). Nothing for a value that is neither.
std::optional<qint64> retryAfterMs(const QByteArray& value, const QDateTime& nowUtc);

}  // namespace zorvan
