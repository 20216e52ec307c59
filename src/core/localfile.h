#pragma once

#include <QByteArray>
#include <QString>

#include "core/codepage.h"

class QFile;
class QIODevice;
class QSaveFile;

namespace zorvan {

// A domain as these files store it (history sections, the saved list). One that code page 936
// holds is kept as typed, so files of earlier versions keep their bytes; any other would come
// out as "?" and share its record with others: it is kept under its ACE form (xn--...), or,
// when that does not give the typed text back (no valid IDN, letter case), with each character
// the code page lacks, and "%", as %XX of its UTF-8 bytes.
QString storedDomain(const QString& typed);
// The typed text back from the stored one (a stored text no domain maps to is shown as it is).
QString shownDomain(const QString& stored);

// Called first by every program: a write past the process's file-size limit then fails like a
// full disk (EFBIG) and leaves the old file whole, instead of the signal killing the program in
// the middle of a save.
void prepareFileWrites();

enum class FileRead { Ok, Missing, Unreadable };

// Reads a whole file. One that exists but cannot be read (permissions, a folder or socket in its
// place) is Unreadable: callers must then leave it alone, or whatever it holds would be lost.
FileRead readWholeFile(const QString& path, QByteArray* bytes);
// Opens it for reading a piece at a time, with the same answers.
FileRead openForReading(const QString& path, QFile* file);

// A settings file read at start (proxies.txt, notify.json): never waited on, never held past a
// bound. Anything but a regular file is refused before it is opened (a FIFO without a writer
// would block the program), and so is a file larger than the limit.
inline constexpr qint64 SettingsFileLimit = 4 * 1024 * 1024;
struct SettingsRead {
    FileRead status = FileRead::Missing;
    QByteArray bytes;
    QString why;  // for Unreadable: "it is a FIFO", "it is larger than 4 MB", the system's word
    bool othersMayRead = false;  // group or other may read it: it may hold passwords or keys
};
SettingsRead readSettingsFile(const QString& path, qint64 limit = SettingsFileLimit);

// Replaces a file whole, or not at all: commits only when every byte was written and flushed (on a
// full disk QSaveFile::commit() alone can succeed with a truncated file). The new file keeps the
// old one's permissions, and its owner and group where the process may set them.
// On failure, *error (when given) tells why.
bool writeAtomically(QSaveFile& file, const QByteArray& bytes, QString* error = nullptr);
// Writes every byte, or fails with the reason in the device's errorString(): a write cut short
// by a full disk returns what fitted without an error, so the rest is written again to learn why.
bool writeAll(QIODevice& device, QByteArrayView bytes);
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Replaces a file named by the user (a chart in a folder a scheduled job writes to) only when the
// name is a regular file or nothing: a symbolic link, device, FIFO, socket or folder there is
// refused and left as it was. The bytes go to a new file in the same folder that is then renamed
// over the name, so a link put there meanwhile is replaced, never followed. On failure, *error
// (when given) tells why, in English.
bool writeRegularFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

}  // namespace zorvan
