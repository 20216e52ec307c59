#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "core/codepage.h"

using zorvan::BytesToText;
using zorvan::decodeAnsi;
using zorvan::encodeAnsi;

// Every double-byte code of code page 936 that names a character (user-defined codes aside) and
// what it names, as one digest: Linux's ICU table and Windows' own table must agree on each.
TEST(CodePage936, EveryMappedDoubleByteCodeGivesTheSameCharacterOnEveryPlatform) {
    QCryptographicHash digest(QCryptographicHash::Sha256);
    int mapped = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const QByteArray code = QByteArray(1, char(lead)) + char(trail);
            const QString text = decodeAnsi(code);
            if (text.size() != 1) continue;
            const char16_t c = text.front().unicode();
            if (c == 0xFFFD || (c >= 0xE000 && c <= 0xF8FF)) continue;
            ++mapped;
            digest.addData(code);
            digest.addData(QByteArrayView(reinterpret_cast<const char*>(&c), sizeof c));
            EXPECT_EQ(encodeAnsi(text), code) << lead << ' ' << trail;
        }
    }
    EXPECT_EQ(mapped, 21791);
    EXPECT_EQ(digest.result().toHex().toStdString(),
              "1ad9d4043f81c986c92acd8c83ef92e01c32471e66731c406bf8cf229d2ab3b3");
}

TEST(CodePage936, PagesAndFilesKeepGbkOnlyCharactersWhateverTheLocale) {
    const QByteArray bytes("\x81\x40\xd5\xbe\xb3\xa4\x80");
    EXPECT_EQ(BytesToText(bytes, QStringLiteral("gb2312")), QStringLiteral("丂站长€"));
    EXPECT_EQ(BytesToText(bytes, QStringLiteral("GBK")), QStringLiteral("丂站长€"));
    EXPECT_EQ(decodeAnsi(bytes), QStringLiteral("丂站长€"));
    EXPECT_EQ(encodeAnsi(QStringLiteral("丂站长€\r\n")), bytes + "\r\n");
    EXPECT_EQ(BytesToText("\xe7\xab\x99", QStringLiteral("UTF-8")), QStringLiteral("站"));
}
