#include "net/pacer.h"

#include <QLocale>
#include <algorithm>
#include <limits>

namespace zorvan {

HostPacer::HostPacer() {
    clock_.start();
}

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

void HostPacer::departLocked(const QString& host, Lane& lane, qint64 at) {
    lane.lastStart = at;
    lane.nextStart = std::max(lane.nextStart, at + gapLocked(host, lane));
}

HostPacer::Slot HostPacer::reserve(const QString& host, const QStringList& exits, bool skipClosed) {
    std::lock_guard lock(mutex_);
    return reserveLocked(host, exits, now(), skipClosed);
}

HostPacer::Slot HostPacer::reserveLocked(const QString& host, const QStringList& asked, qint64 now,
                                         bool skipClosed) {
    static const QStringList direct{DirectExit};
    const QStringList& exits = asked.isEmpty() ? direct : asked;
    Slot best;
    best.startMs = std::numeric_limits<qint64>::max();
    for (int i = 0; i < exits.size(); ++i) {
        const Lane& lane = lanes_[laneKey(exits[i], host)];
        if (skipClosed && lane.closed && now < lane.probeAt) continue;
        const qint64 start = std::max(
            {now, lane.nextStart, lane.pausedUntil, lane.lastStart + gapLocked(host, lane)});
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
    lane.nextStart = best.startMs + gapLocked(host, lane);
    best.waitMs = best.startMs - now;
    best.epoch = lane.epoch;
    if (best.waitMs == 0) departLocked(host, lane, now);
    return best;
}

HostPacer::Slot HostPacer::confirm(const Slot& slot, const QString& host, const QStringList& exits,
                                   bool skipClosed) {
    std::lock_guard lock(mutex_);
    const qint64 at = now();
    Lane& lane = lanes_[laneKey(exits.value(slot.exit, DirectExit), host)];
    if (lane.epoch != slot.epoch) return reserveLocked(host, exits, at, skipClosed);
    // A timer that fired late let the request before this one leave late: the gap counts from
    // when it really left, or two requests would start closer than the interval.
    Slot kept = slot;
    kept.startMs = std::max(slot.startMs, lane.lastStart + gapLocked(host, lane));
    kept.waitMs = std::max<qint64>(0, kept.startMs - at);
    if (kept.waitMs == 0) departLocked(host, lane, at);
    return kept;
}

void HostPacer::depart(const QString& host, const QString& exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    lane.lastStart = std::max(lane.lastStart, now());
}

bool HostPacer::pause(const QString& host, qint64 ms, const QString& exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    const qint64 until = now() + std::clamp<qint64>(ms, 0, MaxPauseMs);
    if (until <= lane.pausedUntil) return false;
    lane.pausedUntil = until;
    ++lane.epoch;
    return true;
}

std::optional<qint64> HostPacer::slowDown(const QString& host, qint64 requestStartMs,
                                          const QString& exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    if (requestStartMs < lane.slowedAt) return std::nullopt;
    const qint64 gap = gapLocked(host, lane);
    lane.slowGap = std::clamp<qint64>(2 * gap, MinSlowGapMs, MaxGapMs);
    lane.slowedAt = now();
    lane.nextStart = std::max(lane.nextStart, lane.slowedAt + lane.slowGap);
    ++lane.epoch;
    return lane.slowGap;
}

bool HostPacer::closedLocked(const QString& host, const QStringList& exits) const {
    for (const QString& exit : exits.isEmpty() ? QStringList{DirectExit} : exits) {
        const auto lane = lanes_.constFind(laneKey(exit, host));
        if (lane == lanes_.cend() || !lane->closed) return false;
    }
    return true;
}

bool HostPacer::closeLocked(const QString& host, Lane& lane, const QStringList& exits) {
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

bool HostPacer::noteRefusal(const QString& host, const QString& exit, const QStringList& exits) {
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

bool HostPacer::giveUp(const QString& host, const QString& exit, const QStringList& exits) {
    bool closed = false;
    {
        std::lock_guard lock(mutex_);
        closed = closeLocked(host, lanes_[laneKey(exit, host)], exits);
    }
    tell(closed, host);
    return closed;
}

void HostPacer::noteAccepted(const QString& host, const QString& exit) {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[laneKey(exit, host)];
    lane.refusalsInARow = 0;
    lane.closed = false;
}

bool HostPacer::isClosed(const QString& host, const QStringList& exits) const {
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
