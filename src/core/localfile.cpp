#include "core/localfile.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QUrl>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace zorvan {

namespace {

bool ansiHolds(const QString& text) {
    return decodeAnsi(encodeAnsi(text)) == text;
}

QString percentEscaped(const QString& typed) {
    QString out;
    for (qsizetype i = 0; i < typed.size();) {
        const qsizetype n = typed.at(i).isHighSurrogate() && i + 1 < typed.size() ? 2 : 1;
        const QString character = typed.mid(i, n);
        if (character != u"%" && ansiHolds(character))
            out += character;
        else
            out += QString::fromLatin1(character.toUtf8().toPercentEncoding());
        i += n;
    }
    return out;
}

#ifdef Q_OS_WIN
// Windows gives a replaced file the folder's permissions, which the saving user shares.
void keepOwnerAndGroup(const QSaveFile&) {}
#else
// QSaveFile gives the new file the old one's mode but makes it as the saving user: a save by
// another user (root from cron) would take the file away from its owner and group.
void keepOwnerAndGroup(const QSaveFile& file) {
    struct stat old;
    const int fd = file.handle();
    if (fd < 0 || ::stat(QFile::encodeName(file.fileName()).constData(), &old) != 0) return;
    if (::fchown(fd, old.st_uid, old.st_gid) == 0) return;
    if (::fchown(fd, uid_t(-1), old.st_gid) == 0) return;
    // Neither is allowed (a group the user is not in): the saver's group stays.
}
#endif

}  // namespace

QString storedDomain(const QString& typed) {
    if (ansiHolds(typed)) return typed;
    const QByteArray ace = QUrl::toAce(typed);
    if (!ace.isEmpty() && QUrl::fromAce(ace) == typed) return QString::fromLatin1(ace);
    return percentEscaped(typed);
}

QString shownDomain(const QString& stored) {
    // Only a text that some typed domain is stored as is shown otherwise: a typed "xn--..." shares
    // its record with the domain it spells, and is shown as that domain.
    const QString candidates[] = {
        stored.contains(QLatin1String("xn--"), Qt::CaseInsensitive) ? QUrl::fromAce(stored.toUtf8())
                                                                    : QString(),
        stored.contains(u'%') ? QString::fromUtf8(QByteArray::fromPercentEncoding(stored.toUtf8()))
                              : QString()};
    for (const QString& typed : candidates)
        if (!typed.isEmpty() && typed != stored && storedDomain(typed) == stored) return typed;
    return stored;
}

void prepareFileWrites() {
#ifndef Q_OS_WIN
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

FileRead openForReading(const QString& path, QFile* file) {
    // Only a name that is not there is missing: a folder on the way that cannot be searched, or a
    // file in a folder's place, hides whatever the file holds.
#ifdef Q_OS_WIN
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        const QFileInfo folder(QFileInfo(path).absolutePath());
        return folder.isDir() ? FileRead::Missing : FileRead::Unreadable;
    }
#else
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
#endif
    const QFileInfo info(path);
    if (!info.isFile()) return FileRead::Unreadable;
    file->setFileName(path);
    return file->open(QIODevice::ReadOnly) ? FileRead::Ok : FileRead::Unreadable;
}

FileRead readWholeFile(const QString& path, QByteArray* bytes) {
    bytes->clear();
    QFile file;
    if (const FileRead opened = openForReading(path, &file); opened != FileRead::Ok) return opened;
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        bytes->clear();
        return FileRead::Unreadable;
    }
    return FileRead::Ok;
}

bool writeAll(QIODevice& device, QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const qint64 written = device.write(bytes.data(), bytes.size());
        if (written <= 0) return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

bool writeAtomically(QSaveFile& file, const QByteArray& bytes, QString* error) {
    auto fail = [&] {
        if (error) *error = file.errorString();
        return false;
    };
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) return fail();
    keepOwnerAndGroup(file);
    if (!writeAll(file, bytes) || !file.flush() || file.error() != QFileDevice::NoError) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit() || fail();
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    return writeAtomically(file, bytes, error);
}

namespace {

// Nothing of a refused settings file is used; whether others may read it still counts.
SettingsRead refused(SettingsRead& result, const QString& why) {
    result.status = FileRead::Unreadable;
    result.bytes.clear();
    result.why = why;
    return result;
}

QString settingsTooLarge(qint64 limit) {
    return QStringLiteral("it is larger than %1 MB, the most a settings file may hold")
        .arg(limit / (1024 * 1024));
}

}  // namespace

#ifdef Q_OS_WIN

namespace {

QString notAFile(const QFileInfo& info) {
    if (info.isSymLink()) return QStringLiteral("a symbolic link");
    if (info.isDir()) return QStringLiteral("a folder");
    return QStringLiteral("not a regular file");
}

}  // namespace

// Windows keeps a user's profile folders to that user: nobody else reads a file there.
SettingsRead readSettingsFile(const QString& path, qint64 limit) {
    SettingsRead result;
    const auto refuse = [&](const QString& why) { return refused(result, why); };
    const QString tooLarge = settingsTooLarge(limit);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return result;
    if (info.isSymLink() || !info.isFile())
        return refuse(QStringLiteral("it is ") + notAFile(info));
    if (info.size() > limit) return refuse(tooLarge);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return refuse(file.errorString());
    result.bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError) return refuse(file.errorString());
    if (result.bytes.size() > limit) return refuse(tooLarge);
    result.status = FileRead::Ok;
    return result;
}

bool writeRegularFile(const QString& path, const QByteArray& bytes, QString* error) {
    const QFileInfo old(path);
    if ((old.exists() || old.isSymLink()) && (old.isSymLink() || !old.isFile())) {
        if (error)
            *error = QStringLiteral("it is ") + notAFile(old) +
                     QStringLiteral("; it was left as it was");
        return false;
    }
    return writeFileAtomically(path, bytes, error);
}

#else

namespace {

QString notAFile(mode_t mode) {
    if (S_ISLNK(mode)) return QStringLiteral("a symbolic link");
    if (S_ISDIR(mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(mode)) return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    return QStringLiteral("not a regular file");
}

}  // namespace

SettingsRead readSettingsFile(const QString& path, qint64 limit) {
    SettingsRead result;
    const auto refuse = [&](const QString& why) { return refused(result, why); };
    const QString tooLarge = settingsTooLarge(limit);
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT) return result;
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    }
    result.othersMayRead = (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
    if (!S_ISREG(status.st_mode))
        return refuse(QStringLiteral("it is ") + notAFile(status.st_mode));
    if (status.st_size > limit) return refuse(tooLarge);
    // Without blocking, and checked again once open: the name may have been replaced meanwhile.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    const auto closeAfter = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return refuse(QStringLiteral("it is ") + notAFile(status.st_mode));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return refuse(QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0) break;
        if (result.bytes.size() + n > limit) return refuse(tooLarge);
        result.bytes.append(buffer, n);
    }
    result.status = FileRead::Ok;
    return result;
}

bool writeRegularFile(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    struct stat old {};
    const bool exists = ::lstat(name.constData(), &old) == 0;
    if (!exists && errno != ENOENT) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (exists && !S_ISREG(old.st_mode))
        return fail(QStringLiteral("it is ") + notAFile(old.st_mode) +
                    QStringLiteral("; it was left as it was"));
    const QFileInfo info(path);
    QTemporaryFile temporary(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                             QStringLiteral(".XXXXXX"));
    if (!temporary.open()) return fail(temporary.errorString());
    // A new file gets what the user's umask allows, as any program's output does; a replaced
    // one keeps its mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~mask);
    if (!writeAll(temporary, bytes) || !temporary.flush()) return fail(temporary.errorString());
    if (::fchmod(temporary.handle(), mode) != 0 || ::fsync(temporary.handle()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (::rename(QFile::encodeName(temporary.fileName()).constData(), name.constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    temporary.setAutoRemove(false);
    return true;
}

#endif

}  // namespace zorvan
