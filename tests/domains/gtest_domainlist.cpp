#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "domains/domainlist.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {
using zorvan::S;
}  // namespace

TEST(DomainList, SplitKeepsOrderEmptyPiecesAndBlanks) {
    EXPECT_EQ(splitDomainList(S("a.com,b.com")), (QStringList{S("a.com"), S("b.com")}));
    EXPECT_EQ(splitDomainList(S("a.com,b.com,")), (QStringList{S("a.com"), S("b.com"), QString()}));
    EXPECT_EQ(splitDomainList(S(" a.com ,,b")), (QStringList{S(" a.com "), QString(), S("b")}));
    EXPECT_TRUE(splitDomainList(QString()).isEmpty());
    EXPECT_EQ(splitDomainList(S(",")).size(), 2);
}

TEST(DomainList, EditorSaveDropsBlankLinesAndKeepsTheRestAsTyped) {
    EXPECT_EQ(valueFromEditorText(S("a.com\n\n  \nb.com")), S("a.com,b.com"));
    EXPECT_EQ(valueFromEditorText(S("a.com\r\n\r\n  \r\nb.com\r\n")), S("a.com,b.com"));
    EXPECT_EQ(valueFromEditorText(S("  a.com \nb.com")), S("  a.com ,b.com"));
    EXPECT_EQ(valueFromEditorText(S("\n   \n\n")), QString());
    EXPECT_EQ(valueFromEditorText(S("   ")), QString());
    // No cleaning beyond that: case, "http://" and duplicates stay.
    EXPECT_EQ(valueFromEditorText(S("HTTP://A.com\nA.com\nA.com")), S("HTTP://A.com,A.com,A.com"));
    // A lone CR cannot smuggle a line break into the one-line value.
    EXPECT_EQ(valueFromEditorText(S("a.com\rb.com")), S("a.com,b.com"));
    // Only blanks make a line blank; a tab or an ideographic space is content.
    EXPECT_EQ(valueFromEditorText(S("a\n\t\n　")), S("a,\t,　"));
}

TEST(DomainList, EditorTextShowsOneDomainPerLineAndRoundTrips) {
    EXPECT_EQ(editorTextFromValue(S("a.com,中文.cn")), S("a.com\n中文.cn"));
    EXPECT_EQ(editorTextFromValue(QString()), QString());
    const QString value = S("a.com, b.com ,c.cn");
    EXPECT_EQ(valueFromEditorText(editorTextFromValue(value)), value);
}

TEST(DomainList, BatchArrowsFollowThePositionInTheList) {
    auto check = [](int i, int n, bool run, bool previous, bool next) {
        const ArrowVisibility a = arrowsForEntry(i, n, run);
        EXPECT_EQ(a.previous, previous) << i << "/" << n << " run " << run;
        EXPECT_EQ(a.next, next) << i << "/" << n << " run " << run;
    };
    check(0, 3, false, false, true);
    check(1, 3, false, true, true);
    check(2, 3, false, true, false);
    check(0, 1, false, false, true);  // the first entry always offers "next", even alone
    check(0, 1, true, false, false);
    check(1, 3, true, true, false);
}

TEST(DomainList, DomainsTheCodePageCannotHoldAreSavedApartAndReadBackAsTyped) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("config.ini"));
    const QStringList typed = {S("한국.kr"), S("뉴스.kr"), S("中文.cn"), S("뉴스.kr/")};
    ASSERT_TRUE(writeDomainListValue(config, typed.join(u',')));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(
        "url=xn--3e0b707e.kr,xn--vg1b002a.kr,\xD6\xD0\xCE\xC4.cn,%EB%89%B4%EC%8A%A4.kr/"));
    EXPECT_EQ(readDomainList(config), typed);
}
