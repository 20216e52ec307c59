#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "vocab/figures.h"

namespace zorvan {

// history.txt: sections "[domain]" in the order domains were first saved, each followed by one
// record line per day, oldest first. Code page 936, CR LF. Everything here works on texts and
// bytes; only the last block touches the disk.

inline constexpr QStringView crlf = u"\r\n";

// Every run of two or more CR LF pairs becomes one; lone CR or LF stay.
QString CollapseBlankLines(const QString& text);
// The same on the file's bytes (CR and LF never occur inside a character of the code page).
QByteArray CollapseBlankLines(const QByteArray& bytes);

// A field value as stored: line breaks become a blank, "|" and "=" their full-width forms, so
// that a record stays one line with the same cells whatever the services answered.
QString storedValue(const QString& value);

// "[" + domain + "]", the domain as the file stores it (storedDomain); line breaks in the domain
// become blanks so the header stays one line.
QString historyHeader(const QString& domain);

// date "=" bd "|" gg "|" yh "|" sg "|" ss "|" by "|" yd "|" alexa, each engine "indexed/backlinks".
QString HistoryRecord(const QString& date, const FigureValues& figures);

// One stored record read back: its date and the fifteen figures it holds (the others stay "...";
// a piece the line lacks is empty).
struct StoredRecord {
    QString date;
    FigureValues values;
};
StoredRecord parseHistoryRecord(const QString& line);

// The bytes to write after saving record for domain on the day today: the day's record replaced
// in place, or appended to the domain's section, or a new section appended; then collapsed and
// followed by one CR LF. The rest of the file keeps its bytes.
QByteArray savedHistoryBytes(const QByteArray& oldBytes, const QString& domain,
                             const QString& record, const QString& today);

// A record to store for a domain on a given day, as a query of that day would have saved it.
struct DatedRecord {
    QString domain;
    QString date;
    FigureValues values;
};
enum class RecordFate { Added, Same, Replaced };

// The bytes after storing each record in turn as savedHistoryBytes does, except that a record
// equal to the one the file holds for its domain and day is left alone; a different one for that
// day replaces it, as a second query of the day does. fates gets one entry per record. A null
// array when nothing changes.
QByteArray historyBytesWithRecords(const QByteArray& oldBytes, const QList<DatedRecord>& records,
                                   QList<RecordFate>* fates);

// The bytes to write after removing domain's whole section (header and records); a null array
// when the file holds no such section, so that nothing needs writing.
QByteArray historyBytesWithout(const QByteArray& oldBytes, const QString& domain);

// The domains of the file in file order, duplicates kept: for every line that begins with "[",
// the text between it and the "]" that ends the line (a domain may hold "]" itself), or up to
// the next "]" on a line that does not end with one, shown as typed (shownDomain). Blanks around
// the whole file are ignored.
QStringList historyDomains(const QByteArray& bytes);

// The non-empty record lines of domain's section, in file order; empty if it has no section.
QStringList historyRecords(const QByteArray& bytes, const QString& domain);

// The nine cells a record fills in the viewer: the date, then the seven engine fields and the
// Alexa rank (missing pieces empty).
QStringList recordCells(const QString& record);

// Every change of the file (read, change, replace) holds a lock file beside it (path + ".lock"),
// so that the window and any number of commands may save at once without losing a record. A
// writer waits for as long as a live process holds the lock, up to historyLockWaitMinutes; a lock
// file that no process holds (left by a power cut, a crash, another host) is taken over once it is
// a few seconds old. Each returns nothing on success, or why the file was left as it was.
inline constexpr int historyLockWaitMinutes = 10;

struct FileProblem {
    enum Kind {
        Busy,          // the lock stayed held for the whole wait
        LockIsFolder,  // a folder, or another kind of file, where the lock file goes
        CannotLock,    // the lock file cannot be made (permissions, read-only folder)
        Unreadable,    // the file exists but cannot be read: it is never rewritten
        WriteFailed    // the replacement could not be written whole; the old file is kept
    };
    Kind kind;
    QString path;    // the file or lock file concerned
    QString detail;  // the system's reason, for WriteFailed

    // The window speaks Chinese, the command English.
    QString chinese() const;
    QString english() const;
};
using FileError = std::optional<FileProblem>;

// Saves today's record of domain into the file at path.
FileError SaveHistory(const QString& path, const QString& domain, const FigureValues& figures,
                      const QString& today);

// Saves the records in turn as SaveHistory does, each dated by its own date, under one lock and
// with one rewrite: the bytes are those of saving them one by one.
FileError saveHistoryGroupTo(const QString& path, const QList<DatedRecord>& records);

// Stores the records in the file at path under one lock (historyBytesWithRecords); the file is
// not rewritten when it already holds every one of them.
FileError saveHistoryRecordsTo(const QString& path, const QList<DatedRecord>& records,
                               QList<RecordFate>* fates);

// What saveHistoryRecordsTo would do with each record, read from the file at path without
// changing it.
FileError recordFatesIn(const QString& path, const QList<DatedRecord>& records,
                        QList<RecordFate>* fates);

// SaveHistory: the record of the finished query, into historyFilePath(), dated todayShortDate().
FileError SaveHistory(const QString& domain, const FigureValues& figures);

// Removes domain's section from the file at path (nothing to do when it has none).
FileError DeleteDomainHistory(const QString& path, const QString& domain);

// The domains of the file at path, as historyDomains; none when it cannot be read.
QStringList readHistoryDomains(const QString& path);
// The record lines of domain in the file at path, as historyRecords; nothing when the file exists
// but cannot be read.
std::optional<QStringList> readStoredLines(const QString& path, const QString& domain);

// The stored records of domain in the file at path, oldest first; nothing when the file exists
// but cannot be read (a missing file holds no records).
std::optional<QList<StoredRecord>> readStoredRecords(const QString& path, const QString& domain);

}  // namespace zorvan
