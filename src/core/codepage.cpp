#include "core/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zorvan {

QString BytesToText(const QByteArray& bytes, const QString& charset) {
    // Code page 936 is what "gb2312" really means on the services' side: strict EUC-CN would
    // garble every GBK-only character.
    const QString name = charset.compare(QStringLiteral("gb2312"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("windows-936")
                             : charset;
    QStringDecoder decoder(name.toLatin1().constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) return {};
    QString text = decoder(bytes);
    return text;
}

QString decodeAnsi(const QByteArray& bytes) {
    QStringDecoder decoder("windows-936");
    return decoder.decode(bytes);
}

QByteArray encodeAnsi(const QString& text) {
    QStringEncoder encoder("windows-936");
    return encoder.encode(text);
}

}  // namespace zorvan
