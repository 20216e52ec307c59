#include "net/pacer.h"

#include <QElapsedTimer>
#include <QLocale>
#include <algorithm>
#include <limits>
#include <memory>

namespace zorvan {

namespace {

HostPacer::Clock steadyClock() {
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] { return started->elapsed(); };
}

}  // namespace

HostPacer::HostPacer(Clock clock) : clock_(clock ? std::move(clock) : steadyClock()) {}

HostPacer& HostPacer::global() {
    static HostPacer pacer;
    return pacer;
}

void HostPacer::setInterval(int ms) {
    std::lock_guard lock(mutex_);
    interval_ = std::max(0, ms);
}

void HostPacer::setHostInterval(const QString& host, int ms) {
    std::lock_guard lock(mutex_);
    hostIntervals_.insert(host, std::max(0, ms));
}

int HostPacer::interval(const QString& host) const {
    std::lock_guard lock(mutex_);
    return intervalLocked(host);
}

int HostPacer::intervalLocked(const QString& host) const {
    return hostIntervals_.value(host, interval_);
}

qint64 HostPacer::gapLocked(const QString& host, const Lane& lane) const {
    return std::max<qint64>(intervalLocked(host), lane.slowGap);
}

// A whole gap after the last request that left. One still on its way out leaves no earlier than
// now, so nothing starts within a gap from now: a delayed write cannot bring two starts closer.
qint64 HostPacer::afterLastLocked(const QString& host, const Lane& lane, qint64 now) const {
    const qint64 last = lane.leaving > 0 ? std::max(lane.lastStart, now) : lane.lastStart;
    return last + gapLocked(host, lane);
}

// That, and a whole gap after every start promised to another.
qint64 HostPacer::earliestLocked(const QString& host, const Lane& lane, qint64 now) const {
    const qint64 gap = gapLocked(host, lane);
    qint64 start =
        std::max({now, lane.pausedUntil, lane.heldUntil, afterLastLocked(host, lane, now)});
    for (const auto& [ticket, promised] : lane.reserved) start = std::max(start, promised + gap);
    return start;
}

void HostPacer::takeTurnLocked(Lane& lane, qint64 at) {
    lane.lastStart = std::max(lane.lastStart, at);
    ++lane.leaving;
}

void HostPacer::changedLocked(Lane& lane) {
    lane.reserved.clear();
    ++lane.epoch;
}

HostPacer::Slot HostPacer::reserve(const QString& host, const QList<Exit>& exits, bool skipClosed) {
    std::lock_guard lock(mutex_);
    return reserveLocked(host, exits, now(), skipClosed);
}

HostPacer::Slot HostPacer::reserveLocked(const QString& host, const QList<Exit>& asked, qint64 now,
                                         bool skipClosed) {
    static const QList<Exit> direct{DirectExit};
    const QList<Exit>& exits = asked.isEmpty() ? direct : asked;
    Slot best;
    best.startMs = std::numeric_limits<qint64>::max();
    for (int i = 0; i < exits.size(); ++i) {
        const Lane& lane = lanes_[laneKey(exits[i], host)];
        if (skipClosed && lane.closed && now < lane.probeAt) continue;
        const qint64 start = earliestLocked(host, lane, now);
        if (start < best.startMs) {
            best.exit = i;
            best.startMs = start;
        }
    }
    if (best.startMs == std::numeric_limits<qint64>::max()) {
        best = Slot{};
        best.givenUp = true;
        return best;
    }
    Lane& lane = lanes_[laneKey(exits.value(best.exit, DirectExit), host)];
    // The probe of a closed lane: the next one is due a whole probe time later, whatever it meets.
    if (lane.closed) lane.probeAt = now + ProbeAfterMs;
    best.waitMs = best.startMs - now;
    best.epoch = lane.epoch;
    if (best.waitMs == 0) {
        takeTurnLocked(lane, now);
    } else {
        best.ticket = ++tickets_;
        lane.reserved.emplace(best.ticket, best.startMs);
    }
    return best;
}

HostPacer::Slot HostPacer::confirm(const Slot& slot, const QString& host, const QList<Exit>& exits,
                                   bool skipClosed) {
    std::lock_guard lock(mutex_);
    const qint64 at = now();
    Lane& lane = lanes_[laneKey(exits.value(slot.exit, DirectExit), host)];
    lane.reserved.erase(slot.ticket);
    if (lane.epoch != slot.epoch) return reserveLocked(host, exits, at, skipClosed);
    // The request before this one may have left late, or not yet: the gap counts from when it
    // really left, or two requests would start closer than the interval.
    Slot kept = slot;
    kept.startMs = std::max(slot.startMs, afterLastLocked(host, lane, at));
    kept.waitMs = std::max<qint64>(0, kept.startMs - at);
    if (kept.waitMs == 0) {
        kept.ticket = 0;
        takeTurnLocked(lane, at);
    } else {
        lane.reserved.emplace(kept.ticket, kept.startMs);
    }
    return kept;
}

void HostPacer::release(const Slot& slot, const QString& host, const QList<Exit>& exits) {
    if (slot.ticket == 0) return;
    std::lock_guard lock(mutex_);
    lanes_[laneKey(exits.value(slot.exit, DirectExit), host)].reserved.erase(slot.ticket);
}

void HostPacer::depart(const QString& host, Exit exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    // The clock reads whole milliseconds already gone by: one more keeps the gap a floor.
    lane.lastStart = std::max(lane.lastStart, now() + (gapLocked(host, lane) > 0 ? 1 : 0));
    lane.leaving = std::max(0, lane.leaving - 1);
}

void HostPacer::notSent(const QString& host, Exit exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    lane.leaving = std::max(0, lane.leaving - 1);
}

bool HostPacer::pause(const QString& host, qint64 ms, Exit exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    const qint64 until = now() + std::clamp<qint64>(ms, 0, MaxPauseMs);
    if (until <= lane.pausedUntil) return false;
    lane.pausedUntil = until;
    changedLocked(lane);
    return true;
}

std::optional<qint64> HostPacer::slowDown(const QString& host, qint64 requestStartMs, Exit exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    if (requestStartMs < lane.slowedAt) return std::nullopt;
    const qint64 gap = gapLocked(host, lane);
    lane.slowGap = std::clamp<qint64>(2 * gap, MinSlowGapMs, MaxGapMs);
    lane.slowedAt = now();
    lane.heldUntil = std::max(lane.heldUntil, lane.slowedAt + lane.slowGap);
    changedLocked(lane);
    return lane.slowGap;
}

bool HostPacer::closedLocked(const QString& host, const QList<Exit>& exits) const {
    for (const Exit exit : exits.isEmpty() ? QList<Exit>{DirectExit} : exits) {
        const auto lane = lanes_.constFind(laneKey(exit, host));
        if (lane == lanes_.cend() || !lane->closed) return false;
    }
    return true;
}

bool HostPacer::closeLocked(const QString& host, Lane& lane, const QList<Exit>& exits) {
    const bool before = closedLocked(host, exits);
    lane.closed = true;
    lane.probeAt = now() + ProbeAfterMs;
    return !before && closedLocked(host, exits);
}

void HostPacer::tell(bool closed, const QString& host) {
    std::function<void(const QString&)> handler;
    {
        std::lock_guard lock(mutex_);
        if (!closed || !givenUp_) return;
        handler = givenUp_;
    }
    handler(host);
}

bool HostPacer::noteRefusal(const QString& host, Exit exit, const QList<Exit>& exits) {
    bool closed = false;
    {
        std::lock_guard lock(mutex_);
        Lane& lane = lanes_[laneKey(exit, host)];
        if (++lane.refusalsInARow >= MaxRefusals && !lane.closed)
            closed = closeLocked(host, lane, exits);
    }
    tell(closed, host);
    return closed;
}

bool HostPacer::giveUp(const QString& host, Exit exit, const QList<Exit>& exits) {
    bool closed = false;
    {
        std::lock_guard lock(mutex_);
        closed = closeLocked(host, lanes_[laneKey(exit, host)], exits);
    }
    tell(closed, host);
    return closed;
}

void HostPacer::noteAccepted(const QString& host, Exit exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    lane.refusalsInARow = 0;
    lane.closed = false;
}

bool HostPacer::isClosed(const QString& host, const QList<Exit>& exits) const {
    std::lock_guard lock(mutex_);
    return closedLocked(host, exits);
}

void HostPacer::setGivenUpHandler(std::function<void(const QString&)> handler) {
    std::lock_guard lock(mutex_);
    givenUp_ = std::move(handler);
}

std::optional<qint64> retryAfterMs(const QByteArray& value, const QDateTime& nowUtc) {
    const QByteArray text = value.trimmed();
    if (text.isEmpty()) return std::nullopt;
    bool isNumber = false;
    const qint64 seconds = text.toLongLong(&isNumber);
    if (isNumber) {
        if (seconds < 0) return std::nullopt;
        // Anything past the cap is the cap: no need to keep a product that can overflow.
        return std::min(seconds, HostPacer::MaxPauseMs / 1000 + 1) * 1000;
    }
    QDateTime at = QLocale::c().toDateTime(QString::fromLatin1(text),
                                           QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!at.isValid()) return std::nullopt;
    at.setTimeSpec(Qt::UTC);
    return std::max<qint64>(0, nowUtc.msecsTo(at));
}

}  // namespace zorvan
