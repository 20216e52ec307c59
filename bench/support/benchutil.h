#pragma once

#include <QFile>
#include <QList>

namespace zorvan::bench {

// The process's peak resident memory so far, in kB (VmHWM); -1 when unknown.
inline long peakRssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

}  // namespace zorvan::bench
