#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "fakeplatform.h"
#include "tools/gui/reportwindow.h"
#include "tools/report.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

using F = Figure;

const QList<Figure> indexedLater = {F::IndexedGoogle, F::IndexedYahoo, F::IndexedSogou,
                                    F::IndexedSoso,   F::IndexedBing,  F::IndexedYoudao};

struct Fields {
    FigureValues values;
    const FigureValues& reader() const { return values; }
};

const QDateTime when(QDate(2010, 5, 12), QTime(9, 5, 7));

QStringList reportLines(const Fields& f, const QString& domain = QStringLiteral("example.com")) {
    return BuildReport(domain, f.reader(), when).split(QStringLiteral("\r\n"));
}

}  // namespace

TEST(Report, WholeTextForOneQuery) {
    Fields f;
    const QList<std::pair<Figure, QString>> shown = {
        {F::PageRank, S("5")},          {F::AlexaRank, S("12345")},   {F::SogouRank, S("X")},
        {F::IndexedBaidu, S("约1234")}, {F::BacklinksBaidu, S("88")}, {F::IndexedGoogle, S("4560")},
        {F::BacklinksGoogle, S("12")},  {F::IndexedYahoo, S("7")},    {F::BacklinksYahoo, S("...")},
        {F::IndexedSogou, S("321")},    {F::BacklinksSogou, S("3")},  {F::IndexedSoso, S("X")},
        {F::BacklinksSoso, S("40")},    {F::IndexedBing, S("99")},    {F::BacklinksBing, S("1")},
        {F::IndexedYoudao, S("2")},     {F::BacklinksYoudao, S("0")}};
    for (const auto& [figure, text] : shown) f.values[figure] = text;
    const QString expected =
        S("有关example.com的SEO数据\r\n"
          "查询时间:2010-5-12 9:05:07\r\n"
          "谷歌PR:5\r\n"
          "Alexa排名:12345\r\n"
          "搜狗评分:X\r\n"
          "百度: 收录约1234      反链88\r\n"
          "谷歌: 收录4560         反链12\r\n"
          "雅虎: 收录7            反链...\r\n"
          "搜狗: 收录321          反链3\r\n"
          "搜搜: 收录X            反链40\r\n"
          "必应: 收录99           反链1\r\n"
          "有道: 收录2            反链0\r\n"
          "以上数据通过Zorvan站长工具查询");
    EXPECT_EQ(BuildReport(S("example.com"), f.reader(), when), expected);
}

TEST(Report, BacklinksLineUpForValuesUpToThirteenCharacters) {
    for (int first = 1; first <= 13; ++first) {
        Fields f;
        // Six different lengths per report, Chinese and digits mixed: each counts as one.
        for (int i = 0; i < indexedLater.size(); ++i) {
            const int length = (first + 2 * i - 1) % 13 + 1;
            f.values[indexedLater[i]] =
                (i % 2 ? S("约") : QString()) + QString(length - (i % 2), u'9');
        }
        f.values[F::IndexedBaidu] = S("约123456");  // seven characters
        const QStringList lines = reportLines(f);
        ASSERT_EQ(lines.size(), 13);
        const qsizetype column = lines[6].indexOf(S("反链"));
        EXPECT_EQ(column, 19);
        for (int line = 5; line <= 11; ++line)
            EXPECT_EQ(lines[line].indexOf(S("反链")), column) << first << " line " << line + 1;
    }
}

TEST(Report, LongValuesGetNoGapAndBaiduKeepsSixBlanks) {
    Fields f;
    f.values[F::IndexedGoogle] = S("1234567890123");  // 13: no gap
    f.values[F::IndexedYahoo] = S("12345678901234");  // 14: no gap, no failure
    f.values[F::IndexedSogou] = QString(200, u'8');
    f.values[F::IndexedBaidu] = S("1");
    f.values[F::BacklinksBaidu] = S("2");
    const QStringList lines = reportLines(f);
    EXPECT_EQ(lines[5], S("百度: 收录1      反链2"));
    EXPECT_EQ(lines[6], S("谷歌: 收录1234567890123反链..."));
    EXPECT_EQ(lines[7], S("雅虎: 收录12345678901234反链..."));
    EXPECT_EQ(lines[8], S("搜狗: 收录") + QString(200, u'8') + S("反链..."));
    EXPECT_EQ(reportGap(QString()), 13);
    f.values[F::IndexedBaidu] = QString(30, u'1');
    EXPECT_EQ(reportLines(f)[5], S("百度: 收录") + QString(30, u'1') + S("      反链2"));
}

TEST(Report, DomainTextIsUsedAsTyped) {
    Fields f;
    const QString typed = S(" 例子.cn/a b ");
    EXPECT_EQ(reportLines(f, typed).first(), S("有关 例子.cn/a b 的SEO数据"));
    EXPECT_EQ(reportCaption(typed), S("复制 例子.cn/a b 结果"));
    EXPECT_FALSE(BuildReport(typed, f.reader(), when).endsWith(u'\n'));
}

class ReportWindowTest : public ::testing::Test {
  protected:
    test::FakePlatform fake;
    ReportWindow window;
    QString report;

    void SetUp() override {
        Fields f;
        f.values[F::IndexedGoogle] = S("4560");
        report = BuildReport(S("example.com"), f.reader(), when);
        QGuiApplication::clipboard()->setText(S("stale"));
    }
};

TEST_F(ReportWindowTest, UnloadedWindowKeepsDesignTexts) {
    EXPECT_EQ(window.objectName(), S("Form2"));
    EXPECT_EQ(window.windowTitle(), S("复制结果"));
    EXPECT_EQ(window.titleLabel()->text(), S("复制结果"));
    EXPECT_TRUE(window.textBox()->toPlainText().isEmpty());
    EXPECT_EQ(window.textBox()->accessibleName(), S("报告"));
    EXPECT_EQ(window.copyButton()->text(), S("复 制 结 果"));
}

TEST_F(ReportWindowTest, LoadedWindowCopiesTheReportByteForByte) {
    window.load(S("example.com"), report);
    EXPECT_EQ(window.windowTitle(), S("复制example.com结果"));
    EXPECT_EQ(window.titleLabel()->text(), S("复制example.com结果"));
    EXPECT_EQ(window.textBox()->toPlainText().split(u'\n').size(), 13);

    window.copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), report);
    ASSERT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(fake.messages[0].text, S("复制成功"));
    EXPECT_EQ(fake.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(fake.messages[0].buttons, MessageButtons::Ok);
}

TEST_F(ReportWindowTest, EditedTextIsWhatReachesTheClipboard) {
    window.load(S("example.com"), report);
    window.textBox()->setPlainText(S("只要这一行\n和这行"));
    window.copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), S("只要这一行\r\n和这行"));

    window.textBox()->clear();
    window.copyButton()->click();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    ASSERT_EQ(fake.messages.size(), 2);
    EXPECT_EQ(fake.messages[1].text, S("复制成功"));
}

TEST_F(ReportWindowTest, LoadingAgainReplacesTheText) {
    window.load(S("a.com"), S("old"));
    window.load(S("b.com"), report);
    EXPECT_EQ(window.windowTitle(), S("复制b.com结果"));
    EXPECT_EQ(window.textBox()->toPlainText(), QString(report).replace(S("\r\n"), S("\n")));
}
