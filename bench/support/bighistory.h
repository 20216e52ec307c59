#pragma once
// A site group's history.txt at scale, as three years of daily runs leave it: one section per
// domain ("site00001.com"), one record a day, figures like 约141891/14189.
#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QString>

namespace zorvan::bench {

inline QString bigHistoryDomain(int index) {
    return QStringLiteral("site%1.com").arg(index + 1, 5, 10, QLatin1Char('0'));
}

// Writes domains × days records ending on lastDay; false when the file could not be written.
inline bool writeBigHistory(const QString& path, int domains, int days, const QDate& lastDay) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray about("\xd4\xbc");  // 约 in code page 936
    QByteArray chunk;
    for (int d = 0; d < domains; ++d) {
        chunk += '[' + bigHistoryDomain(d).toLatin1() + "]\r\n";
        for (int day = 0; day < days; ++day) {
            const QDate date = lastDay.addDays(day - days + 1);
            chunk += QByteArray::number(date.year()) + '-' + QByteArray::number(date.month()) +
                     '-' + QByteArray::number(date.day()) + '=';
            for (int e = 0; e < 7; ++e) {
                const qint64 n = 100000 + qint64(d) * 37 + day * 38 + e * 1000;
                chunk += about + QByteArray::number(n) + '/' + QByteArray::number(n / 10) + '|';
            }
            chunk += QByteArray::number(50000 + d) + "\r\n";
        }
        if (chunk.size() > (1 << 22) || d == domains - 1) {
            if (file.write(chunk) != chunk.size()) return false;
            chunk.clear();
        }
    }
    return file.flush();
}

}  // namespace zorvan::bench
