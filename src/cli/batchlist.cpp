// Which domains batch asks: the saved list or a list file, kept to one shard.
#include <QFileInfo>

#include "cli/cli.h"
#include "core/services.h"
#include "domains/domainlist.h"
#include "domains/shards.h"

namespace zorvan::cli {
namespace {

struct Entry {
    QString place;  // "entry 3 of the saved list", "domains.txt:7"
    QString text;
    bool invalid = false;  // not UTF-8
};

// The saved list's entries; nothing, told on err, when config.ini cannot be read.
std::optional<QList<Entry>> savedListEntries(Console& console) {
    const QString config = configFilePath();
    bool readable = true;
    const QStringList entries = readDomainList(config, &readable);
    if (!readable) {
        console.fail(QStringLiteral("cannot read ") + config);
        return std::nullopt;
    }
    QList<Entry> listed;
    for (qsizetype i = 0; i < entries.size(); ++i)
        listed.append({QStringLiteral("entry %1 of the saved list").arg(i + 1), entries[i]});
    return listed;
}

// Nothing when the file is refused, told on err with the status to end with.
std::optional<QList<Entry>> fileEntries(const QString& path, Console& console, int* status) {
    const DomainFile file = readDomainFile(path);
    if (!file.failure.isEmpty()) {
        console.fail(file.failure);
        *status = file.unreadable ? FileFailed : UsageError;
        return std::nullopt;
    }
    QList<Entry> listed;
    for (const ListedDomain& l : file.entries)
        listed.append({path + u':' + QString::number(l.line), l.domain, l.invalid});
    return listed;
}

QString noDomainsMessage(const Invocation& invocation) {
    if (invocation.has(Option::List))
        return invocation.value(Option::List) + QStringLiteral(" holds no domain");
    const QString config = configFilePath();
    return QFileInfo::exists(config) ? QStringLiteral("the saved domain list in ") + config +
                                           QStringLiteral(" holds no domain")
                                     : QStringLiteral("no saved domain list: ") + config +
                                           QStringLiteral(" does not exist");
}

}  // namespace

int batchDomainList(const Invocation& invocation, Console& console, BatchDomains* batch) {
    Shard shard;
    if (invocation.has(Option::Shard)) {
        const auto parsed = parseShard(invocation.value(Option::Shard));
        if (!parsed) {
            console.fail(ShardUsage);
            return UsageError;
        }
        shard = *parsed;
    }
    int status = FileFailed;
    const auto entries = invocation.has(Option::List)
                             ? fileEntries(invocation.value(Option::List), console, &status)
                             : savedListEntries(console);
    if (!entries) return status;
    bool any = false;
    for (const Entry& entry : *entries) {
        // Every shard of a list is told only of its own bad entries, so that each is told once.
        if (!inShard(entry.text, shard)) {
            any = any || !entry.text.trimmed().isEmpty();
            continue;
        }
        if (entry.invalid) {
            console.fail(QStringLiteral("passing over ") + entry.place +
                         QStringLiteral(": refused a line that is not UTF-8"));
            batch->refused = true;
        } else if (entry.text.trimmed().isEmpty()) {
            console.err << "zorvan-cli: passing over " << entry.place << ": it is empty"
                        << Qt::endl;
        } else if (const auto why = badDomain(entry.text)) {
            console.fail(QStringLiteral("passing over ") + entry.place +
                         QStringLiteral(": refused ") + *why + QStringLiteral(": \"") + entry.text +
                         u'"');
            batch->refused = true;
        } else {
            batch->domains.append(entry.text);
        }
    }
    if (batch->domains.isEmpty() && !batch->refused && !any) {
        console.fail(noDomainsMessage(invocation));
        return UsageError;
    }
    return Ran;
}

}  // namespace zorvan::cli
