#include <gtest/gtest.h>

#include "net/fetch.h"
#include "vocab/text.h"

using zorvan::CutBetween;

namespace {
using zorvan::S;
}  // namespace

TEST(CutBetween, TakesTextBetweenFirstStartAndFirstEnd) {
    EXPECT_EQ(CutBetween(S("a 找到相关网页12,345篇 b"), S("找到相关网页"), S("篇")), S("12,345"));
    // The piece stops at the next start marker, so a second occurrence cannot leak into the first.
    EXPECT_EQ(CutBetween(S("<s>1<s>2</e>"), S("<s>"), S("</e>")), S("1"));
}

TEST(CutBetween, MissingOrTrailingStartMarkerFindsNothing) {
    EXPECT_FALSE(CutBetween(S("no marker here"), S("找到"), S("条")).has_value());
    EXPECT_FALSE(CutBetween(S("ends with 找到"), S("找到"), S("条")).has_value());
    EXPECT_FALSE(CutBetween(QString(), S("找到"), S("条")).has_value());
    // An immediately repeated start marker leaves an empty piece.
    EXPECT_FALSE(CutBetween(S("xx找到找到5条"), S("找到"), S("条")).has_value());
}

TEST(CutBetween, MissingOrEmptyEndMarkerKeepsWholePiece) {
    EXPECT_EQ(CutBetween(S("sogourank=7\r\n"), S("sogourank="), QString()), S("7\r\n"));
    EXPECT_EQ(CutBetween(S("找到 5 items"), S("找到"), S("条")), S(" 5 items"));
    EXPECT_EQ(CutBetween(S("rank=3 rank=4"), S("rank="), QString()), S("3 "));
}

TEST(CutBetween, EndMarkerRightAfterStartGivesEmptyValueNotNothing) {
    const auto cut = CutBetween(S("charset=\"utf-8\""), S("charset="), S("\""));
    ASSERT_TRUE(cut.has_value());
    EXPECT_TRUE(cut->isEmpty());
}

TEST(CutBetween, MarkersAreCaseSensitiveAndUntrimmed) {
    EXPECT_FALSE(CutBetween(S("Charset=gb2312\""), S("charset="), S("\"")).has_value());
    EXPECT_EQ(CutBetween(S("找到约 1,230 条结果"), S("找到"), S("条")), S("约 1,230 "));
}

TEST(BytesToText, Gb2312MeansCodePage936) {
    // 0x81 0x40 exists only in GBK: strict GB2312 would garble it.
    const QByteArray bytes("\x81\x40\xd6\xd0", 4);
    EXPECT_EQ(zorvan::BytesToText(bytes, S("gb2312")), S("丂中"));
    EXPECT_EQ(zorvan::BytesToText(S("约1,230").toUtf8(), S("UTF-8")), S("约1,230"));
}
