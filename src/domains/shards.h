#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace zorvan {

// Splitting a domain list between machines or processes. A domain's shard depends on its name
// alone: the first 8 bytes of the SHA-1 of its lower-cased UTF-8 name, read as a big-endian
// unsigned number, modulo the shard count, plus one. Adding or removing a domain never moves
// another, and every machine puts a domain in the same shard.

struct Shard {
    int index = 1;  // 1..count
    int count = 1;
};

// "K/N" with 1 <= K <= N; nothing for any other text.
std::optional<Shard> parseShard(const QString& text);

// The shard (1..count) the domain belongs to.
int shardOf(const QString& domain, int count);

inline bool inShard(const QString& domain, const Shard& shard) {
    return shardOf(domain, shard.count) == shard.index;
}

// A line of a domain list file: one domain per line, blank lines and lines starting with "#"
// (after blanks) left out; blanks and a CR around a domain are not part of it.
struct ListedDomain {
    int line = 0;  // 1-based
    QString domain;
    // Not UTF-8: its text would be another domain's, asked and saved under a name nobody typed.
    bool invalid = false;
};

// A list file is read as a stream (a pipe will do), so it is bounded by lines, not bytes: past
// these the file is refused whole, since it is not a list of domains (/dev/zero, a binary).
inline constexpr int MaxListLines = 1'000'000;
inline constexpr int MaxListLineBytes = 4096;

struct DomainFile {
    QList<ListedDomain> entries;
    QString failure;          // empty when read; else why the file is refused, naming it
    bool unreadable = false;  // the failure is the file's, not its content's
};

// The domains of a UTF-8 list file, in file order.
DomainFile readDomainFile(const QString& path);

// The same from the file's bytes.
QList<ListedDomain> domainFileEntries(const QByteArray& bytes);

}  // namespace zorvan
