#include <gtest/gtest.h>

#include "core/services.h"
#include "standinfixture.h"
#include "tools/backlink.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;
const QString CrLf = QStringLiteral("\r\n");

// One search result as the sitemap search writes it.
QString result(int n, const QString& title) {
    return QStringLiteral(
               "<li>%1. <a class=\"yschttl\" href=\"http://site-%1.example.com/p-%1.html\">%2</a>"
               "<span>site-%1.example.com</span></li>\n")
        .arg(n)
        .arg(title);
}

QByteArray resultPage(const QString& total, int first, int count) {
    QString page = S("<html><head><meta charset=\"utf-8\"></head><body><p>共 <strong>") + total +
                   S("</strong> 条结果</p><ol>\n");
    for (int i = 0; i < count; ++i) page += result(first + i, S("第%1个页面").arg(first + i));
    return (page + S("</ol></body></html>")).toUtf8();
}

TEST(BacklinkPatterns, MatchAsTheScriptDialectDoes) {
    const QString page = S(
        "1. <A CLASS=x HREF=\"http://Big-Site.example.com/a-b/c d.html?x=1&y=%20\">中文 标题</A>\n"
        "2. <a href=http://x.cn>second\r still</a> tail");
    EXPECT_EQ(TestRegExp(BacklinkPattern::Result, page),
              S(". <A CLASS=x HREF=\"http://Big-Site.example.com/a-b/c d.html?x=1&y=%20\">中文 "
                "标题</A>") +
                  CrLf + S(". <a href=http://x.cn>second\r still</a>") + CrLf);
    // The hyphen after \w in brackets is a literal, so hyphens and blanks stay in the address.
    EXPECT_EQ(
        TestRegExp(BacklinkPattern::Address, page),
        S("http://Big-Site.example.com/a-b/c d.html?x=1&y=%20") + CrLf + S("http://x.cn") + CrLf);
    EXPECT_EQ(TestRegExp(BacklinkPattern::LinkText, S("<a href=\"u\">中文标题</A>")),
              S(">中文标题</A>") + CrLf);
    // "." stops at a line feed: a link split over two lines is no result.
    EXPECT_EQ(TestRegExp(BacklinkPattern::Result, S("1. <a href=\"http://a.cn\">one\ntwo</a>")),
              MatchFailed);
    EXPECT_EQ(TestRegExp(BacklinkPattern::Address, S("https://a.cn ftp://b.cn")), MatchFailed);
    EXPECT_EQ(TestRegExp(BacklinkPattern::Address, QString()), MatchFailed);
}

TEST(BacklinkPatterns, EntriesSkipSnapshotsAndStripLinkTexts) {
    const QString page = result(1, S("<b>粗体</b>标题")) +
                         S("2. <a href=\"http://cache.example.com/q\">百度快照</a>\n") +
                         S("3. <a href=\"/relative\">无地址</a>\n");
    const QList<BacklinkEntry> entries = extractBacklinks(page);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].address, S("http://site-1.example.com/p-1.html") + CrLf);
    // The link-text pattern stops at the first "</a>" after the first ">"; both marks go.
    EXPECT_EQ(entries[0].linkText, S("<b粗体</b标题") + CrLf);
    EXPECT_EQ(entries[1].address, MatchFailed);
    EXPECT_EQ(entries[1].linkText, S("无地址") + CrLf);

    const QList<BacklinkEntry> none = extractBacklinks(S("<html>no results</html>"));
    ASSERT_EQ(none.size(), 1);
    EXPECT_EQ(none[0].snippet, MatchFailed);
    EXPECT_EQ(none[0].address, MatchFailed);
    EXPECT_EQ(none[0].linkText, MatchFailed);
}

TEST(BacklinkPaging, CountsPagesWithCapFloorAndEvenHalves) {
    const std::pair<const char*, int> cases[] = {
        {"30", 0},   {"49", 0},   {"50", 1},     {"75", 2},       {"125", 2},   {"175", 4},
        {"900", 18}, {"901", 18}, {"3,200", 18}, {" 1,000 ", 18}, {"100.0", 2}, {"-5", 0}};
    for (const auto& [text, pages] : cases)
        EXPECT_EQ(backlinkPageCount(S(text)), std::optional<int>(pages)) << text;
    for (const char* text : {"", "约3200", "3200条", "abc", "1e999", ".", ","})
        EXPECT_FALSE(backlinkPageCount(S(text)).has_value()) << text;
}

TEST(BacklinkPaging, SummaryLine) {
    EXPECT_EQ(backlinkSummary(S("3,200"), 7),
              S("网络中共3,200个页面有该站链接。  最多列出1000条！   当前已列出7条"));
}

class BacklinkWalk : public ::testing::Test {
  protected:
    test::StandinFixture fx{1500};
    const QByteArray prefix = "/search?p=http%3A%2F%2Fexample.com&bwm=i&bwmo=d&b=";

    QList<QByteArray> walked() {
        QList<QByteArray> offsets;
        for (const QByteArray& target : fx.services.targets(Role::Yahoo)) {
            EXPECT_TRUE(target.startsWith(prefix)) << target.constData();
            offsets.append(target.mid(prefix.size()));
        }
        return offsets;
    }
    // The whole walk; false when the first page had no usable total.
    static bool run(BacklinkListing& listing, const QString& domain) {
        std::optional<bool> listed;
        QObject::connect(&listing, &BacklinkListing::finished, [&](bool l) { listed = l; });
        listing.start(domain);
        test::waitFor([&] { return listed.has_value(); }, 60000);
        return listed.value_or(false);
    }
    static QList<QByteArray> offsets(int pages) {
        QList<QByteArray> list{"1"};
        for (int p = 0; p <= pages; ++p) list.append(QByteArray::number(50 * p + 1));
        return list;
    }
};

TEST_F(BacklinkWalk, WalksTheOffsetsOfTheTotalAndKeepsItsText) {
    for (const auto& [total, pages] : {std::pair{"30", 0}, {"75", 2}, {"125", 2}, {"3,200", 18}}) {
        fx.services.clearLog();
        fx.services.setRoute(Role::Yahoo, "/", standin::Page{resultPage(S(total), 1, 2), 200});
        BacklinkListing listing;
        int rebuilt = 0;
        QObject::connect(&listing, &BacklinkListing::pageListed, [&] { ++rebuilt; });
        EXPECT_TRUE(run(listing, S("example.com")));
        EXPECT_EQ(walked(), offsets(pages)) << total;
        EXPECT_EQ(rebuilt, pages + 1);
        EXPECT_EQ(listing.totalText(), S(total));
        EXPECT_EQ(listing.snippets().size(), 2 * (pages + 1));
        EXPECT_EQ(listing.addresses().size(), listing.snippets().size());
        EXPECT_EQ(listing.linkTexts().size(), listing.snippets().size());
        EXPECT_FALSE(listing.isRunning());
    }
}

TEST_F(BacklinkWalk, FailedPageListsOneFailureAndTheWalkGoesOn) {
    fx.services.setRoute(Role::Yahoo, prefix + "1", standin::Page{resultPage(S("125"), 1, 3), 200});
    fx.services.setRoute(Role::Yahoo, prefix + "5", standin::Page{QByteArray(), 500});
    fx.services.setRoute(Role::Yahoo, prefix + "10",
                         standin::Page{resultPage(S("125"), 101, 1), 200});
    BacklinkListing listing;
    ASSERT_TRUE(run(listing, S("example.com")));
    EXPECT_EQ(walked(), offsets(2));
    ASSERT_EQ(listing.snippets().size(), 5);
    EXPECT_EQ(listing.addresses().at(2), S("http://site-3.example.com/p-3.html") + CrLf);
    EXPECT_EQ(listing.addresses().at(3), MatchFailed);
    EXPECT_EQ(listing.linkTexts().at(3), MatchFailed);
    EXPECT_EQ(listing.addresses().at(4), S("http://site-101.example.com/p-101.html") + CrLf);
    EXPECT_EQ(listing.linkTexts().at(4), S("第101个页面") + CrLf);
}

TEST_F(BacklinkWalk, FirstPageWithoutUsableTotalEndsTheQuery) {
    for (const QByteArray& body :
         {QByteArray("<html>nothing</html>"), S("共 <strong>约3,200</strong>").toUtf8(),
          S("共 <strong>").toUtf8()}) {
        fx.services.clearLog();
        fx.services.setRoute(Role::Yahoo, "/", standin::Page{body, 200});
        BacklinkListing listing;
        EXPECT_FALSE(run(listing, S("example.com")));
        EXPECT_EQ(fx.services.targets(Role::Yahoo).size(), 1);
        EXPECT_TRUE(listing.snippets().isEmpty());
    }
    fx.services.clearLog();
    fx.services.setFailure(Role::Yahoo, standin::Failure::Refuse);
    BacklinkListing listing;
    EXPECT_FALSE(run(listing, S("example.com")));
    EXPECT_FALSE(listing.isRunning());
}

TEST_F(BacklinkWalk, DomainGoesInUnencoded) {
    fx.services.setRoute(Role::Yahoo, "/", standin::Page{resultPage(S("10"), 1, 1), 200});
    BacklinkListing listing;
    EXPECT_TRUE(run(listing, S("A.Example.com/x")));
    const auto targets = fx.services.targets(Role::Yahoo);
    ASSERT_EQ(targets.size(), 2);
    EXPECT_EQ(targets.at(1), QByteArray("/search?p=http%3A%2F%2FA.Example.com/x&bwm=i&bwmo=d&b=1"));
}

}  // namespace
