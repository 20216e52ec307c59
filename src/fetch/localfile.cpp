#include "fetch/localfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace zorvan {

QString DecodeAnsi(const QByteArray& bytes) {
    QStringDecoder decoder("windows-936");
    return decoder.decode(bytes);
}

QByteArray EncodeAnsi(const QString& text) {
    QStringEncoder encoder("windows-936");
    return encoder.encode(text);
}

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

bool WriteAtomically(QSaveFile& file, const QByteArray& bytes) {
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return WriteAtomically(file, bytes);
}

}  // namespace zorvan
