#include "core/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace zorvan {
namespace {

#ifdef Q_OS_WIN
// Qt for Windows has no ICU: it knows no "windows-936" or "GBK", and its System codec is code page
// 936 only on a Chinese-language Windows. The system's own tables give code page 936 whatever the
// user's locale.
constexpr UINT CodePage936 = 936;
constexpr UINT CodePageGb18030 = 54936;

UINT windowsCodePage(const QString& charset) {
    const QString name = charset.trimmed().toLower();
    if (name == u"gb2312" || name == u"gbk" || name == u"windows-936" || name == u"cp936" ||
        name == u"x-gbk")
        return CodePage936;
    if (name == u"gb18030") return CodePageGb18030;
    return 0;
}

QString decodeWith(UINT codePage, const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    const int size =
        MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), size);
    return text;
}

QByteArray encodeWith(UINT codePage, const QString& text) {
    if (text.isEmpty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size =
        WideCharToMultiByte(codePage, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(codePage, 0, wide, int(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}
#endif

}  // namespace

QString BytesToText(const QByteArray& bytes, const QString& charset) {
    // Code page 936 is what "gb2312" really means on the services' side: strict EUC-CN would
    // garble every GBK-only character.
    const QString name = charset.compare(QStringLiteral("gb2312"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("windows-936")
                             : charset;
#ifdef Q_OS_WIN
    if (const UINT codePage = windowsCodePage(name)) return decodeWith(codePage, bytes);
#endif
    QStringDecoder decoder(name.toLatin1().constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) return {};
    QString text = decoder(bytes);
    return text;
}

QString decodeAnsi(const QByteArray& bytes) {
#ifdef Q_OS_WIN
    return decodeWith(CodePage936, bytes);
#else
    QStringDecoder decoder("windows-936");
    return decoder.decode(bytes);
#endif
}

QByteArray encodeAnsi(const QString& text) {
#ifdef Q_OS_WIN
    return encodeWith(CodePage936, text);
#else
    QStringEncoder encoder("windows-936");
    return encoder.encode(text);
#endif
}

}  // namespace zorvan
