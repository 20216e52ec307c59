#include "cli/progress.h"

#include "engines/servicecheck.h"

namespace zorvan::cli {
namespace {

QString duration(qint64 seconds) {
    if (seconds >= 3600)
        return QStringLiteral("%1h%2m")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QChar(u'0'));
    if (seconds >= 60)
        return QStringLiteral("%1m%2s").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
    return QStringLiteral("%1s").arg(seconds);
}

}  // namespace

QString progressLine(int done, int total, qint64 elapsedMs, int inFlight, int blocked) {
    const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
    QString line = QStringLiteral("%1/%2 %3%").arg(done).arg(total).arg(percent);
    // Before the first domain ends there is no pace to tell from.
    if (done > 0 && elapsedMs > 0) {
        const double perMinute = done * 60000.0 / double(elapsedMs);
        const auto left = qint64(double(total - done) * double(elapsedMs) / done / 1000.0 + 0.5);
        line += QStringLiteral("  %1/min  ETA %2").arg(perMinute, 0, 'f', 1).arg(duration(left));
    }
    return line + QStringLiteral("  %1 in flight  %2 blocked").arg(inFlight).arg(blocked);
}

Progress::Progress(QTextStream& err, bool terminal, int total)
    : err_(err), terminal_(terminal), total_(total) {
    clock_.start();
}

void Progress::started(int index, const QString& domain, int inFlight) {
    if (terminal_) {
        draw(inFlight);
    } else if (total_ > 1) {
        err_ << '[' << (index + 1) << '/' << total_ << "] " << oneLine(domain) << Qt::endl;
    }
}

void Progress::finished(int blockedFigures, int inFlight) {
    ++done_;
    blocked_ += blockedFigures;
    if (terminal_) draw(inFlight);
}

void Progress::clear() {
    if (!drawn_) return;
    err_ << "\r\x1b[K" << Qt::flush;
    drawn_ = false;
}

void Progress::draw(int inFlight) {
    err_ << "\r\x1b[K" << progressLine(done_, total_, clock_.elapsed(), inFlight, blocked_)
         << Qt::flush;
    drawn_ = true;
}

}  // namespace zorvan::cli
