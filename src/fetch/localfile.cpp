#include "fetch/localfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <csignal>

namespace zorvan {

QString DecodeAnsi(const QByteArray& bytes) {
    QStringDecoder decoder("windows-936");
    return decoder.decode(bytes);
}

QByteArray EncodeAnsi(const QString& text) {
    QStringEncoder encoder("windows-936");
    return encoder.encode(text);
}

void prepareFileWrites() { std::signal(SIGXFSZ, SIG_IGN); }

FileRead ReadWholeFile(const QString& path, QByteArray* bytes) {
    bytes->clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return FileRead::Missing;
    if (!info.isFile()) return FileRead::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return FileRead::Unreadable;
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        bytes->clear();
        return FileRead::Unreadable;
    }
    return FileRead::Ok;
}

bool WriteAtomically(QSaveFile& file, const QByteArray& bytes, QString* error) {
    auto fail = [&] {
        if (error) *error = file.errorString();
        return false;
    };
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) return fail();
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit() || fail();
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    return WriteAtomically(file, bytes, error);
}

}  // namespace zorvan
