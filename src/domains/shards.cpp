#include "domains/shards.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

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

QList<ListedDomain> domainFileEntries(const QByteArray& bytes) {
    QList<ListedDomain> entries;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = QString::fromUtf8(lines[i]).trimmed();
        if (text.isEmpty() || text.startsWith(u'#')) continue;
        entries.append({int(i + 1), text});
    }
    return entries;
}

std::optional<QList<ListedDomain>> readDomainFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return domainFileEntries(bytes);
}

}  // namespace zorvan
