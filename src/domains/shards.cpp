#include "domains/shards.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cstring>

namespace zorvan {

std::optional<Shard> parseShard(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,9})/([0-9]{1,9})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const Shard shard{match.captured(1).toInt(), match.captured(2).toInt()};
    if (shard.index < 1 || shard.index > shard.count) return std::nullopt;
    return shard;
}

int shardOf(const QString& domain, int count) {
    const QByteArray digest =
        QCryptographicHash::hash(domain.toLower().toUtf8(), QCryptographicHash::Sha1);
    quint64 value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | quint8(digest[i]);
    return int(value % quint64(count)) + 1;
}

namespace {

void addEntry(QList<ListedDomain>& entries, int line, const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = QString(utf8(bytes)).trimmed();
    if (!text.isEmpty() && !text.startsWith(u'#')) entries.append({line, text, utf8.hasError()});
}

}  // namespace

QList<ListedDomain> domainFileEntries(const QByteArray& bytes) {
    QList<ListedDomain> entries;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) addEntry(entries, int(i + 1), lines[i]);
    return entries;
}

DomainFile readDomainFile(const QString& path) {
    DomainFile file;
    QFile device(path);
    if (!device.open(QIODevice::ReadOnly)) {
        file.unreadable = true;
        file.failure =
            QStringLiteral("cannot read ") + path + QStringLiteral(": ") + device.errorString();
        return file;
    }
    QByteArray line;
    int number = 1;
    char buffer[65536];
    for (;;) {
        const qint64 n = device.read(buffer, sizeof buffer);
        if (n < 0) {
            file = {
                {},
                QStringLiteral("cannot read ") + path + QStringLiteral(": ") + device.errorString(),
                true};
            return file;
        }
        if (n == 0) break;
        for (const char* p = buffer; p < buffer + n;) {
            const char* end =
                static_cast<const char*>(std::memchr(p, '\n', size_t(buffer + n - p)));
            const char* stop = end ? end : buffer + n;
            // Line MaxListLines + 1 is refused once it holds anything, a newline included.
            if (number > MaxListLines) {
                file = {{},
                        QStringLiteral("%1: more than %2 lines, the most a list may hold")
                            .arg(path)
                            .arg(MaxListLines),
                        false};
                return file;
            }
            line.append(p, stop - p);
            if (line.size() > MaxListLineBytes) {
                file = {{},
                        QStringLiteral("%1:%2: a line longer than %3 bytes: not a list of domains")
                            .arg(path)
                            .arg(number)
                            .arg(MaxListLineBytes),
                        false};
                return file;
            }
            if (!end) break;
            addEntry(file.entries, number++, line);
            line.clear();
            p = end + 1;
        }
    }
    addEntry(file.entries, number, line);
    return file;
}

}  // namespace zorvan
