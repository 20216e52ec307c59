#include "history/historyfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLockFile>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/localfile.h"
#include "core/platform.h"
#include "core/services.h"

namespace zorvan {
namespace {

// The file is edited as bytes: CR and LF never occur inside a code page 936 character, so lines
// split the same way in bytes and in text, and bytes the code page cannot decode in other
// sections are kept as they are instead of being replaced on the way through text. The helpers
// below work on both QByteArray and QString.

template <typename Str>
bool crlfAt(const Str& text, qsizetype pos) {
    return pos + 1 < text.size() && text.at(pos) == u'\r' && text.at(pos + 1) == u'\n';
}

// Collapses in place: the text only shrinks, so nothing is allocated for a large file.
template <typename Str>
void collapseInPlace(Str& text, const Str& blank) {
    qsizetype run = text.indexOf(blank);
    if (run < 0) return;
    auto* d = text.data();
    qsizetype kept = run + 2, from = run + 2;
    for (;;) {
        // Everything at or after from is still unread: kept never passes it.
        while (crlfAt(text, from)) from += 2;
        run = text.indexOf(blank, from);
        const qsizetype chunkEnd = run < 0 ? text.size() : run + 2;
        std::memmove(d + kept, d + from, size_t(chunkEnd - from) * sizeof(*d));
        kept += chunkEnd - from;
        if (run < 0) break;
        from = chunkEnd;
    }
    text.truncate(kept);
}

// The header of a section, found as a whole line (blanks around it allowed, as a hand edit may
// leave them): [lineStart, lineEnd) is the header's line, end is where the next line that begins
// with "[" starts (or the end).
struct Section {
    qsizetype lineStart = -1;
    qsizetype lineEnd = -1;
    qsizetype end = -1;
    bool found() const { return lineStart >= 0; }
};

Section findSection(const QByteArray& bytes, const QByteArray& header) {
    Section s;
    for (qsizetype pos = bytes.indexOf(header); pos >= 0; pos = bytes.indexOf(header, pos + 1)) {
        qsizetype start = pos;
        while (start > 0 && bytes.at(start - 1) == ' ') --start;
        if (start != 0 && !(start >= 2 && crlfAt(bytes, start - 2))) continue;
        qsizetype end = pos + header.size();
        while (end < bytes.size() && bytes.at(end) == ' ') ++end;
        if (end != bytes.size() && !crlfAt(bytes, end)) continue;
        s.lineStart = start;
        s.lineEnd = end;
        break;
    }
    if (!s.found()) return s;
    const qsizetype next = bytes.indexOf("\r\n[", s.lineEnd);
    s.end = next < 0 ? bytes.size() : next + 2;
    return s;
}

// Calls visit(start, end) for every non-empty line of the section body, in order; stops when
// visit returns true.
template <typename Visit>
void forEachRecordLine(const QByteArray& bytes, const Section& s, Visit visit) {
    qsizetype pos = s.lineEnd;
    while (pos < s.end) {
        if (crlfAt(bytes, pos)) pos += 2;
        qsizetype lineEnd = bytes.indexOf("\r\n", pos);
        if (lineEnd < 0 || lineEnd > s.end) lineEnd = s.end;
        if (lineEnd > pos && visit(pos, lineEnd)) return;
        if (lineEnd == pos && pos == s.end) return;
        pos = lineEnd;
    }
}

bool spacesOnly(const QByteArray& bytes) {
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return c == ' '; });
}

// Only blanks count as padding around a record: line breaks are kept.
QByteArrayView trimSpaces(QByteArrayView bytes) {
    while (!bytes.isEmpty() && bytes.front() == ' ') bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && bytes.back() == ' ') bytes.chop(1);
    return bytes;
}

const QByteArray crlfBytes("\r\n");

}  // namespace

QString CollapseBlankLines(const QString& text) {
    QString out = text;
    collapseInPlace(out, QStringLiteral("\r\n\r\n"));
    return out;
}

QByteArray CollapseBlankLines(const QByteArray& bytes) {
    QByteArray out = bytes;
    collapseInPlace(out, QByteArray("\r\n\r\n"));
    return out;
}

QString storedValue(const QString& value) {
    QString v = value;
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    v.replace(u'|', QChar(0xFF5C)).replace(u'=', QChar(0xFF1D));
    return v;
}

QString historyHeader(const QString& domain) {
    QString d = storedDomain(domain);
    d.replace(u'\r', u' ').replace(u'\n', u' ');
    return u'[' + d + u']';
}

QString HistoryRecord(const QString& date, const FigureValues& figures) {
    QString record = date + u'=';
    for (const EngineInfo& e : engineTable())
        record += storedValue(figures[indexedFigure(e.engine)]) + u'/' +
                  storedValue(figures[backlinksFigure(e.engine)]) + u'|';
    record += storedValue(figures[Figure::AlexaRank]);
    return record;
}

StoredRecord parseHistoryRecord(const QString& line) {
    const QStringList cells = recordCells(line);
    StoredRecord record;
    record.date = cells[0];
    for (const EngineInfo& e : engineTable()) {
        const QString& pair = cells[1 + int(e.engine)];
        const qsizetype slash = pair.indexOf(u'/');
        record.values[indexedFigure(e.engine)] = slash < 0 ? pair : pair.left(slash);
        record.values[backlinksFigure(e.engine)] = slash < 0 ? QString() : pair.mid(slash + 1);
    }
    record.values[Figure::AlexaRank] = cells[1 + EngineCount];
    return record;
}

QByteArray savedHistoryBytes(const QByteArray& oldBytes, const QString& domain,
                             const QString& record, const QString& today) {
    const QByteArray header = encodeAnsi(historyHeader(domain));
    const QByteArray line = encodeAnsi(record);
    // The new bytes are oldBytes with [cutStart, cutEnd) replaced by insert. Built in one buffer
    // with room for the final CR LF: the file may be large and is rewritten on every save.
    qsizetype cutStart = 0, cutEnd = oldBytes.size();
    QByteArray insert = header + crlfBytes + line;
    if (!spacesOnly(oldBytes)) {
        const Section s = findSection(oldBytes, header);
        if (!s.found()) {
            cutStart = cutEnd;
            insert = crlfBytes + insert;
        } else {
            // "=" is below the code page's trail bytes, so the first "=" byte ends the date.
            const QByteArray day = encodeAnsi(today);
            qsizetype todayStart = -1, todayEnd = -1, lastEnd = s.lineEnd;
            forEachRecordLine(oldBytes, s, [&](qsizetype start, qsizetype end) {
                const QByteArrayView recordLine =
                    QByteArrayView(oldBytes).sliced(start, end - start);
                const qsizetype eq = recordLine.indexOf('=');
                if ((eq < 0 ? recordLine : recordLine.first(eq)) == day) {
                    todayStart = start;
                    todayEnd = end;
                    return true;
                }
                lastEnd = end;
                return false;
            });
            if (todayStart >= 0) {
                cutStart = todayStart;
                cutEnd = todayEnd;
                insert = line;
            } else {
                cutStart = cutEnd = lastEnd;
                insert = crlfBytes + line;
            }
        }
    }
    QByteArray bytes;
    bytes.reserve(oldBytes.size() - (cutEnd - cutStart) + insert.size() + 2);
    bytes.append(QByteArrayView(oldBytes).first(cutStart));
    bytes.append(insert);
    bytes.append(QByteArrayView(oldBytes).sliced(cutEnd));
    collapseInPlace(bytes, QByteArray("\r\n\r\n"));
    bytes.append(crlfBytes);
    return bytes;
}

QByteArray historyBytesWithRecords(const QByteArray& oldBytes, const QList<DatedRecord>& records,
                                   QList<RecordFate>* fates) {
    QByteArray bytes = oldBytes;
    bool changed = false;
    fates->clear();
    for (const DatedRecord& r : records) {
        const QString line = HistoryRecord(r.date, r.values);
        const QStringList stored = historyRecords(bytes, r.domain);
        const auto day = std::find_if(stored.cbegin(), stored.cend(), [&](const QString& s) {
            return s.section(u'=', 0, 0) == r.date;
        });
        if (day != stored.cend() && *day == line) {
            fates->append(RecordFate::Same);
            continue;
        }
        fates->append(day == stored.cend() ? RecordFate::Added : RecordFate::Replaced);
        bytes = savedHistoryBytes(bytes, r.domain, line, r.date);
        changed = true;
    }
    return changed ? bytes : QByteArray();
}

QByteArray historyBytesWithout(const QByteArray& oldBytes, const QString& domain) {
    const Section s = findSection(oldBytes, encodeAnsi(historyHeader(domain)));
    if (!s.found()) return QByteArray();
    return CollapseBlankLines(oldBytes.first(s.lineStart) +
                              QByteArrayView(oldBytes).sliced(s.end)) +
           crlfBytes;
}

QStringList historyDomains(const QByteArray& bytes) {
    QStringList domains;
    const QByteArrayView body = trimSpaces(bytes);
    for (qsizetype pos = 0; pos <= body.size();) {
        qsizetype lineEnd = body.indexOf(crlfBytes, pos);
        if (lineEnd < 0) lineEnd = body.size();
        const QByteArrayView line = body.sliced(pos, lineEnd - pos);
        pos = lineEnd + 2;
        if (!line.startsWith('[')) continue;
        // "]" can be the second byte of a character: look for it in the text. A header the writer
        // wrote ends its line with "]", whatever "]" the domain holds.
        const QString text = decodeAnsi(trimSpaces(line).toByteArray());
        const qsizetype close =
            text.endsWith(u']') && text.size() > 1 ? text.size() - 1 : text.indexOf(u']', 1);
        if (close > 0) domains.append(shownDomain(text.sliced(1, close - 1)));
    }
    return domains;
}

QStringList historyRecords(const QByteArray& bytes, const QString& domain) {
    QStringList records;
    const Section s = findSection(bytes, encodeAnsi(historyHeader(domain)));
    if (!s.found()) return records;
    forEachRecordLine(bytes, s, [&](qsizetype start, qsizetype end) {
        records.append(decodeAnsi(bytes.sliced(start, end - start)));
        return false;
    });
    return records;
}

QList<bool> domainsWithRecordOn(const QByteArray& bytes, const QStringList& domains,
                                const QString& date) {
    // One pass over the file: each header's first section counts, as it does for a save.
    const QByteArray day = encodeAnsi(date);
    QSet<QByteArray> seen, withDay;
    QByteArray header;
    bool counting = false;
    for (qsizetype pos = 0; pos < bytes.size();) {
        qsizetype end = bytes.indexOf(crlfBytes, pos);
        if (end < 0) end = bytes.size();
        const QByteArrayView line = QByteArrayView(bytes).sliced(pos, end - pos);
        pos = end + 2;
        if (line.startsWith('[')) {
            header = trimSpaces(line).toByteArray();
            counting = !seen.contains(header);
            seen.insert(header);
        } else if (counting && !line.isEmpty()) {
            const qsizetype eq = line.indexOf('=');
            if ((eq < 0 ? line : line.first(eq)) == day) withDay.insert(header);
        }
    }
    QList<bool> saved;
    for (const QString& domain : domains)
        saved.append(withDay.contains(encodeAnsi(historyHeader(domain))));
    return saved;
}

QStringList recordCells(const QString& record) {
    QStringList cells;
    const qsizetype eq = record.indexOf(u'=');
    if (eq < 0) {
        cells.append(record);
    } else {
        cells.append(record.first(eq));
        const qsizetype eq2 = record.indexOf(u'=', eq + 1);
        const QString rest = record.sliced(eq + 1, (eq2 < 0 ? record.size() : eq2) - eq - 1);
        cells += rest.split(u'|').mid(0, 8);
    }
    while (cells.size() < 9) cells.append(QString());
    return cells;
}

namespace {

using namespace std::chrono_literals;

// Waiters poll at one short, even pace: a growing pace lets newcomers overtake an old waiter again
// and again while the lock changes hands every fraction of a second on a large file.
constexpr auto lockRetryGap = 25ms;
// A lock file younger than this may be one whose maker has not locked it yet.
constexpr auto ownerlessLockAge = 2s;

bool olderThan(const struct stat& info, std::chrono::seconds age) {
    const auto modified = std::chrono::system_clock::time_point(
        std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec));
    const auto since = std::chrono::system_clock::now() - modified;
    // Another host's clock may run ahead: the distance either way counts.
    return since >= age || since <= -age;
}

// Removes a lock file that no process holds: empty or garbage (a power cut between its making and
// its first write) or naming another host. Every holder keeps an exclusive flock on its lock file
// for as long as it holds it, so a lock we can flock has no live owner. A lock naming a process of
// this host is left to QLockFile, which removes it once that process is gone.
bool removeOwnerlessLock(const QLockFile& lock, const QString& path) {
    qint64 pid = 0;
    QString host, application;
    if (lock.getLockInfo(&pid, &host, &application) &&
        (host.isEmpty() || host == QSysInfo::machineHostName()))
        return false;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat held, now;
    // Its age is looked at before the flock, which could otherwise meet the maker's own.
    const bool removed = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
                         olderThan(held, ownerlessLockAge) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         ::lstat(name.constData(), &now) == 0 && now.st_dev == held.st_dev &&
                         now.st_ino == held.st_ino && ::unlink(name.constData()) == 0;
    ::close(fd);
    return removed;
}

FileError lockHistory(QLockFile& lock, const QString& lockPath) {
    // A lock left by a process of this host that died is taken over at once.
    lock.setStaleLockTime(0);
    const QDeadlineTimer deadline{std::chrono::minutes(historyLockWaitMinutes)};
    for (;;) {
        if (lock.tryLock(0)) return std::nullopt;
        if (lock.error() != QLockFile::LockFailedError)
            return FileProblem{FileProblem::CannotLock, lockPath, {}};
        struct stat info;
        if (::lstat(QFile::encodeName(lockPath).constData(), &info) == 0 && !S_ISREG(info.st_mode))
            return FileProblem{FileProblem::LockIsFolder, lockPath, {}};
        if (removeOwnerlessLock(lock, lockPath)) continue;
        if (deadline.hasExpired()) return FileProblem{FileProblem::Busy, lockPath, {}};
        std::this_thread::sleep_for(lockRetryGap);
    }
}

// Reads the file, lets change() turn its bytes into new ones (a null array: nothing to write)
// and replaces it, all under the file's lock.
template <typename Change>
FileError changeHistoryFile(const QString& path, Change change) {
    const QString lockPath = path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    if (FileError problem = lockHistory(lock, lockPath)) return problem;
    QByteArray old;
    if (readWholeFile(path, &old) == FileRead::Unreadable)
        return FileProblem{FileProblem::Unreadable, path, {}};
    const QByteArray bytes = change(old);
    QString error;
    if (!bytes.isNull() && !writeFileAtomically(path, bytes, &error))
        return FileProblem{FileProblem::WriteFailed, path, error};
    return std::nullopt;
}

}  // namespace

QString FileProblem::chinese() const {
    switch (kind) {
        case Busy:
            return QStringLiteral("另一个程序正在写入该文件（已等待%1分钟）")
                .arg(historyLockWaitMinutes);
        case LockIsFolder:
            return QStringLiteral("锁文件的位置上是一个文件夹或特殊文件，不是锁文件：") + path +
                   QStringLiteral("\n请删除或移走它，然后再保存。");
        case CannotLock:
            return QStringLiteral("无法建立锁文件：") + path;
        case Unreadable:
            return QStringLiteral("文件无法读取");
        case WriteFailed:
            return detail;
    }
    return QString();
}

QString FileProblem::english() const {
    switch (kind) {
        case Busy:
            return QStringLiteral("another program kept the file locked for %1 minutes")
                .arg(historyLockWaitMinutes);
        case LockIsFolder:
            return path + QStringLiteral(
                              " is a folder or special file, not a lock file: remove or rename it, "
                              "then save again");
        case CannotLock:
            return QStringLiteral("cannot make the lock file ") + path;
        case Unreadable:
            return QStringLiteral("the file cannot be read");
        case WriteFailed:
            return detail;
    }
    return QString();
}

FileError SaveHistory(const QString& path, const QString& domain, const FigureValues& figures,
                      const QString& today) {
    return changeHistoryFile(path, [&](const QByteArray& old) {
        return savedHistoryBytes(old, domain, HistoryRecord(today, figures), today);
    });
}

FileError saveHistoryGroupTo(const QString& path, const QList<DatedRecord>& records) {
    if (records.isEmpty()) return std::nullopt;
    return changeHistoryFile(path, [&](const QByteArray& old) {
        QByteArray bytes = old;
        for (const DatedRecord& r : records)
            bytes = savedHistoryBytes(bytes, r.domain, HistoryRecord(r.date, r.values), r.date);
        return bytes;
    });
}

FileError saveHistoryRecordsTo(const QString& path, const QList<DatedRecord>& records,
                               QList<RecordFate>* fates) {
    return changeHistoryFile(
        path, [&](const QByteArray& old) { return historyBytesWithRecords(old, records, fates); });
}

FileError SaveHistory(const QString& domain, const FigureValues& figures) {
    return SaveHistory(historyFilePath(), domain, figures, todayShortDate());
}

FileError DeleteDomainHistory(const QString& path, const QString& domain) {
    return changeHistoryFile(
        path, [&](const QByteArray& old) { return historyBytesWithout(old, domain); });
}

std::optional<QList<StoredRecord>> readStoredRecords(const QString& path, const QString& domain) {
    QByteArray bytes;
    if (readWholeFile(path, &bytes) == FileRead::Unreadable) return std::nullopt;
    QList<StoredRecord> records;
    for (const QString& line : historyRecords(bytes, domain))
        records.append(parseHistoryRecord(line));
    return records;
}

}  // namespace zorvan
