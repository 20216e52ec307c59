#include "history/historyfile.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/localfile.h"
#include "core/platform.h"
#include "core/services.h"
#include "history/historylines.h"

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

// Every save, one by one, changes the file as lines: the record replaces the first line of its
// day in the domain's section, or follows the section's last record, or comes with a new section
// at the end (the whole file, when it holds only blanks); then every empty line but the first and
// the last goes, and one more CR LF ends the file. So a group of saves is the same as: each
// section's records placed in turn, the empty lines inside the file dropped once, and the file's
// trailing empty lines counted through the saves one after another. Only the sections the group
// changes are held, one at a time, never the file.
namespace {

struct GroupLine {
    QByteArray header;  // "[domain]" as the file stores it
    QByteArray date;    // the day whose record it replaces
    QByteArray line;    // the record line
    QString text;       // the same as text, to tell a record already stored
};

QList<GroupLine> groupLines(const QList<DatedRecord>& records) {
    QList<GroupLine> lines;
    for (const DatedRecord& r : records) {
        const QString text = HistoryRecord(r.date, r.values);
        lines.append(
            {encodeAnsi(historyHeader(r.domain)), encodeAnsi(r.date), encodeAnsi(text), text});
    }
    return lines;
}

class GroupSave {
  public:
    GroupSave(const QList<GroupLine>& records, bool skipSame)
        : skipSame_(skipSame), records_(records) {
        for (int i = 0; i < records_.size(); ++i) byHeader_[records_[i].header].append(i);
        fates_.fill(RecordFate::Same, records_.size());
        saved_.fill(false, records_.size());
        appended_.fill(false, records_.size());
    }

    // Copies in to out with the records in; false when in could not be read whole.
    bool run(HistoryLineReader& in, HistoryLineWriter& out) {
        QByteArrayView line;
        in.next(&line);
        // A file of blanks only is replaced whole by the first save.
        const bool blank =
            in.done() && std::all_of(line.cbegin(), line.cend(), [](char c) { return c == ' '; });
        if (!blank) {
            // The first line stays even when empty.
            lineIn(line, out);
            while (in.next(&line)) {
                if (line.startsWith('[')) endSegment(out);
                if (line.isEmpty()) {
                    ++trailing_;
                    continue;
                }
                lineIn(line, out);
            }
        }
        if (in.failed()) return false;
        endSegment(out);
        appendNewSections(out);
        out.endings(trailingAfterSaves(blank ? 0 : trailing_));
        return true;
    }

    bool changed() const { return saved_.contains(true); }
    const QList<RecordFate>& fates() const { return fates_; }

  private:
    void lineIn(QByteArrayView line, HistoryLineWriter& out) {
        if (!line.isEmpty()) trailing_ = 0;
        const QByteArrayView trimmed = trimHistorySpaces(line);
        if (trimmed.startsWith('[')) {
            const QByteArray header = trimmed.toByteArray();
            if (byHeader_.contains(header) && !found_.contains(header)) {
                found_.insert(header);
                segmentHeaders_.append(header);
            }
        }
        if (segmentHeaders_.isEmpty())
            out.line(line);
        else
            segment_.append(line.toByteArray());
    }

    // The lines from the first changed header of a block (the lines up to the next one that
    // begins with "[") to its end: each of its sections' records in the group's order.
    void endSegment(HistoryLineWriter& out) {
        if (segmentHeaders_.isEmpty()) return;
        QList<int> order;
        for (const QByteArray& header : std::as_const(segmentHeaders_)) order += byHeader_[header];
        std::sort(order.begin(), order.end());
        QHash<QByteArrayView, qsizetype> headerAt;
        QHash<QByteArray, QList<qsizetype>> byDate;
        for (qsizetype i = 0; i < segment_.size(); ++i) {
            const QByteArrayView trimmed = trimHistorySpaces(segment_[i]);
            if (segmentHeaders_.contains(trimmed) && !headerAt.contains(trimmed))
                headerAt.insert(trimmed, i);
            byDate[recordDateField(segment_[i]).toByteArray()].append(i);
        }
        for (const int index : std::as_const(order)) {
            const GroupLine& r = records_[index];
            const qsizetype header = headerAt.value(r.header);
            const QList<qsizetype>& sameDay = byDate[r.date];
            const auto day = std::find_if(sameDay.cbegin(), sameDay.cend(),
                                          [&](qsizetype i) { return i > header; });
            if (day != sameDay.cend()) {
                place(index, &segment_[*day], false);
            } else {
                segment_.append(r.line);
                byDate[recordDateField(r.line).toByteArray()].append(segment_.size() - 1);
                place(index, nullptr, false);
            }
        }
        for (const QByteArray& line : std::as_const(segment_)) out.line(line);
        segment_.clear();
        segmentHeaders_.clear();
    }

    // Records whose domain has no section: a section each at the end, in the order of their
    // first record.
    void appendNewSections(HistoryLineWriter& out) {
        QList<QByteArray> headers;
        QHash<QByteArray, QList<QByteArray>> lines;
        // Each new section's record of a day, by the day its line holds.
        QHash<QByteArray, QHash<QByteArray, qsizetype>> days;
        for (int index = 0; index < records_.size(); ++index) {
            const GroupLine& r = records_[index];
            if (found_.contains(r.header)) continue;
            if (!lines.contains(r.header)) headers.append(r.header);
            QList<QByteArray>& section = lines[r.header];
            QHash<QByteArray, qsizetype>& sectionDays = days[r.header];
            if (const auto day = sectionDays.constFind(r.date); day != sectionDays.cend()) {
                place(index, &section[*day], false);
            } else {
                place(index, nullptr, section.isEmpty());
                sectionDays.insert(recordDateField(r.line).toByteArray(), section.size());
                section.append(r.line);
            }
        }
        for (const QByteArray& header : std::as_const(headers)) {
            out.line(header);
            for (const QByteArray& line : std::as_const(lines[header])) out.line(line);
        }
    }

    // The record at index replaces *stored, or is added (a new section's first when newSection).
    void place(int index, QByteArray* stored, bool newSection) {
        const GroupLine& r = records_[index];
        if (stored && skipSame_ && decodeAnsi(*stored) == r.text) return;
        fates_[index] = stored ? RecordFate::Replaced : RecordFate::Added;
        saved_[index] = true;
        appended_[index] = newSection;
        if (stored) *stored = r.line;
    }

    // Each save leaves at most one of the empty lines that ended the file, none when it added a
    // section at the end, then adds one.
    int trailingAfterSaves(int trailing) const {
        for (qsizetype i = 0; i < records_.size(); ++i)
            if (saved_[i]) trailing = (appended_[i] ? 0 : std::min(trailing, 1)) + 1;
        return trailing;
    }

    bool skipSame_;
    QList<GroupLine> records_;
    QHash<QByteArray, QList<int>> byHeader_;
    QList<RecordFate> fates_;
    QList<bool> saved_, appended_;
    QSet<QByteArray> found_;
    QList<QByteArray> segmentHeaders_;
    QList<QByteArray> segment_;
    int trailing_ = 0;
};

template <typename Read>
auto readBytes(const QByteArray& bytes, Read read) {
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    HistoryLineReader reader(&in);
    return read(reader);
}

// The bytes after the group; a null array when skipSame left everything as it was (without it,
// every record is stored: the bytes always come back).
QByteArray bytesWithGroup(const QByteArray& oldBytes, const QList<GroupLine>& lines, bool skipSame,
                          QList<RecordFate>* fates) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    HistoryLineWriter writer(&out);
    GroupSave group(lines, skipSame);
    readBytes(oldBytes, [&](HistoryLineReader& reader) { group.run(reader, writer); });
    writer.finish();
    if (fates) *fates = group.fates();
    return !skipSame || group.changed() ? out.data() : QByteArray();
}

QHash<QByteArray, int> oneHeader(const QString& domain) {
    return {{encodeAnsi(historyHeader(domain)), 0}};
}

QStringList recordsIn(HistoryLineReader& in, const QString& domain) {
    QStringList records;
    forEachSectionLine(in, oneHeader(domain), [&](int, QByteArrayView line) {
        records.append(decodeAnsi(line.toByteArray()));
    });
    return records;
}

QStringList domainsIn(HistoryLineReader& in) {
    QStringList domains;
    QByteArrayView line;
    for (bool first = true; in.next(&line); first = false) {
        // Blanks before the file's first line are ignored, as blanks around any header are.
        if (first)
            while (line.startsWith(' ')) line = line.sliced(1);
        if (!line.startsWith('[')) continue;
        // "]" can be the second byte of a character: look for it in the text. A header the writer
        // wrote ends its line with "]", whatever "]" the domain holds.
        const QString text = decodeAnsi(trimHistorySpaces(line).toByteArray());
        const qsizetype close =
            text.endsWith(u']') && text.size() > 1 ? text.size() - 1 : text.indexOf(u']', 1);
        if (close > 0) domains.append(shownDomain(text.sliced(1, close - 1)));
    }
    return domains;
}

}  // namespace

QByteArray savedHistoryBytes(const QByteArray& oldBytes, const QString& domain,
                             const QString& record, const QString& today) {
    return bytesWithGroup(
        oldBytes,
        {{encodeAnsi(historyHeader(domain)), encodeAnsi(today), encodeAnsi(record), record}}, false,
        nullptr);
}

QByteArray historyBytesWithRecords(const QByteArray& oldBytes, const QList<DatedRecord>& records,
                                   QList<RecordFate>* fates) {
    return bytesWithGroup(oldBytes, groupLines(records), true, fates);
}

QByteArray historyBytesWithout(const QByteArray& oldBytes, const QString& domain) {
    const Section s = findSection(oldBytes, encodeAnsi(historyHeader(domain)));
    if (!s.found()) return QByteArray();
    return CollapseBlankLines(oldBytes.first(s.lineStart) +
                              QByteArrayView(oldBytes).sliced(s.end)) +
           crlfBytes;
}

QStringList historyDomains(const QByteArray& bytes) {
    return readBytes(bytes, domainsIn);
}

QStringList historyRecords(const QByteArray& bytes, const QString& domain) {
    return readBytes(bytes, [&](HistoryLineReader& in) { return recordsIn(in, domain); });
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

// A lock naming a process of this host is left to QLockFile, which removes it once that process
// is gone.
bool namesThisHost(const QLockFile& lock) {
    qint64 pid = 0;
    QString host, application;
    return lock.getLockInfo(&pid, &host, &application) &&
           (host.isEmpty() || host == QSysInfo::machineHostName());
}

#ifdef Q_OS_WIN
// A held lock file stays open in its holder, which Windows keeps from being deleted: a lock that
// can be deleted has no live owner.
bool removeOwnerlessLock(const QLockFile& lock, const QString& path) {
    if (namesThisHost(lock)) return false;
    const QFileInfo info(path);
    const qint64 age = info.lastModified().msecsTo(QDateTime::currentDateTime());
    const qint64 least = std::chrono::milliseconds(ownerlessLockAge).count();
    return info.isFile() && !info.isSymLink() && (age >= least || age <= -least) &&
           QFile::remove(path);
}

bool isLockFolder(const QString& lockPath) {
    const QFileInfo info(lockPath);
    return (info.exists() || info.isSymLink()) && (info.isSymLink() || !info.isFile());
}
#else
bool olderThan(const struct stat& info, std::chrono::seconds age) {
    const auto modified = std::chrono::system_clock::time_point(
        std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec));
    const auto since = std::chrono::system_clock::now() - modified;
    // Another host's clock may run ahead: the distance either way counts.
    return since >= age || since <= -age;
}

// Removes a lock file that no process holds: empty or garbage (a power cut between its making and
// its first write) or naming another host. Every holder keeps an exclusive flock on its lock file
// for as long as it holds it, so a lock we can flock has no live owner.
bool removeOwnerlessLock(const QLockFile& lock, const QString& path) {
    if (namesThisHost(lock)) return false;
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

bool isLockFolder(const QString& lockPath) {
    struct stat info;
    return ::lstat(QFile::encodeName(lockPath).constData(), &info) == 0 && !S_ISREG(info.st_mode);
}
#endif

FileError lockHistory(QLockFile& lock, const QString& lockPath) {
    // A lock left by a process of this host that died is taken over at once.
    lock.setStaleLockTime(0);
    const QDeadlineTimer deadline{std::chrono::minutes(historyLockWaitMinutes)};
    for (;;) {
        if (lock.tryLock(0)) return std::nullopt;
        if (lock.error() != QLockFile::LockFailedError)
            return FileProblem{FileProblem::CannotLock, lockPath, {}};
        if (isLockFolder(lockPath)) return FileProblem{FileProblem::LockIsFolder, lockPath, {}};
        if (removeOwnerlessLock(lock, lockPath)) continue;
        if (deadline.hasExpired()) return FileProblem{FileProblem::Busy, lockPath, {}};
        std::this_thread::sleep_for(lockRetryGap);
    }
}

// Windows refuses to replace a file that anyone has open, if only for a moment (the window reading
// its drop marks, a virus scanner): a replacement that could not be written is tried again.
template <typename Attempt>
FileError retryingReplacement(Attempt attempt) {
#ifdef Q_OS_WIN
    for (int left = 40;; --left) {
        FileError problem = attempt();
        if (!problem || problem->kind != FileProblem::WriteFailed || left == 0) return problem;
        std::this_thread::sleep_for(lockRetryGap);
    }
#else
    return attempt();
#endif
}

// Reads the file, lets change() turn its bytes into new ones (a null array: nothing to write)
// and replaces it, all under the file's lock.
template <typename Change>
FileError changeHistoryFileOnce(const QString& path, Change change) {
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

template <typename Change>
FileError changeHistoryFile(const QString& path, Change change) {
    return retryingReplacement([&] { return changeHistoryFileOnce(path, change); });
}

// The same a line at a time: copy(reader, writer) copies the file with its change and says
// whether anything changed (when nothing did, the file is left alone).
template <typename Copy>
FileError rewriteHistoryFileOnce(const QString& path, Copy copy) {
    const QString lockPath = path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    if (FileError problem = lockHistory(lock, lockPath)) return problem;
    QFile old;
    QBuffer none;
    const FileRead opened = openForReading(path, &old);
    if (opened == FileRead::Unreadable) return FileProblem{FileProblem::Unreadable, path, {}};
    if (opened == FileRead::Missing) none.open(QIODevice::ReadOnly);
    HistoryLineReader reader(opened == FileRead::Ok ? static_cast<QIODevice*>(&old) : &none);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return FileProblem{FileProblem::WriteFailed, path, file.errorString()};
    HistoryLineWriter writer(&file);
    const bool changed = copy(reader, writer);
    if (reader.failed() || old.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return FileProblem{FileProblem::Unreadable, path, {}};
    }
    if (!changed) {
        file.cancelWriting();
        return std::nullopt;
    }
    // Windows cannot replace a file that is still open.
    old.close();
    QString error;
    if (!writer.finish()) {
        error = file.errorString();
        file.cancelWriting();
        return FileProblem{FileProblem::WriteFailed, path, error};
    }
    if (!writeAtomically(file, QByteArray(), &error))
        return FileProblem{FileProblem::WriteFailed, path, error};
    return std::nullopt;
}

template <typename Copy>
FileError rewriteHistoryFile(const QString& path, Copy copy) {
    return retryingReplacement([&] { return rewriteHistoryFileOnce(path, copy); });
}

FileError saveGroup(const QString& path, const QList<GroupLine>& records, bool skipSame,
                    QList<RecordFate>* fates) {
    if (records.isEmpty()) return std::nullopt;
    return rewriteHistoryFile(path, [&](HistoryLineReader& in, HistoryLineWriter& out) {
        GroupSave group(records, skipSame);
        const bool read = group.run(in, out);
        if (fates) *fates = group.fates();
        return read && group.changed();
    });
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
    return saveHistoryGroupTo(path, {{domain, today, figures}});
}

FileError saveHistoryGroupTo(const QString& path, const QList<DatedRecord>& records) {
    return saveGroup(path, groupLines(records), false, nullptr);
}

FileError saveHistoryRecordsTo(const QString& path, const QList<DatedRecord>& records,
                               QList<RecordFate>* fates) {
    fates->clear();
    return saveGroup(path, groupLines(records), true, fates);
}

FileError recordFatesIn(const QString& path, const QList<DatedRecord>& records,
                        QList<RecordFate>* fates) {
    QFile file;
    QBuffer none;
    const FileRead opened = openForReading(path, &file);
    if (opened == FileRead::Unreadable) return FileProblem{FileProblem::Unreadable, path, {}};
    if (opened == FileRead::Missing) none.open(QIODevice::ReadOnly);
    HistoryLineReader in(opened == FileRead::Ok ? static_cast<QIODevice*>(&file) : &none);
    HistoryLineWriter counted(nullptr);
    GroupSave group(groupLines(records), true);
    if (!group.run(in, counted) || file.error() != QFileDevice::NoError)
        return FileProblem{FileProblem::Unreadable, path, {}};
    *fates = group.fates();
    return std::nullopt;
}

FileError SaveHistory(const QString& domain, const FigureValues& figures) {
    return SaveHistory(historyFilePath(), domain, figures, todayShortDate());
}

FileError DeleteDomainHistory(const QString& path, const QString& domain) {
    return changeHistoryFile(
        path, [&](const QByteArray& old) { return historyBytesWithout(old, domain); });
}

QStringList readHistoryDomains(const QString& path) {
    QFile file;
    if (openForReading(path, &file) != FileRead::Ok) return {};
    HistoryLineReader in(&file);
    const QStringList domains = domainsIn(in);
    return in.failed() ? QStringList() : domains;
}

std::optional<QStringList> readStoredLines(const QString& path, const QString& domain) {
    QFile file;
    switch (openForReading(path, &file)) {
        case FileRead::Missing:
            return QStringList();
        case FileRead::Unreadable:
            return std::nullopt;
        case FileRead::Ok:
            break;
    }
    HistoryLineReader in(&file);
    const QStringList lines = recordsIn(in, domain);
    if (in.failed()) return std::nullopt;
    return lines;
}

std::optional<QList<StoredRecord>> readStoredRecords(const QString& path, const QString& domain) {
    const auto lines = readStoredLines(path, domain);
    if (!lines) return std::nullopt;
    QList<StoredRecord> records;
    for (const QString& line : *lines) records.append(parseHistoryRecord(line));
    return records;
}

}  // namespace zorvan
