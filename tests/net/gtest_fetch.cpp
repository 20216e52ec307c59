#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "chainwait.h"
#include "core/services.h"
#include "fakeplatform.h"
#include "net/fetch.h"
#include "net/valuefetch.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using standin::Failure;
using test::toGbk;

namespace {

using zorvan::S;

class FetchTest : public ::testing::Test {
  protected:
    test::StandinFixture fx{1500};
    QString bing = serviceBase(Role::Bing);

    void serve(const QByteArray& body) {
        fx.services.setRoute(Role::Bing, "/", standin::Page{body, 200});
    }
    QString value(const QString& domain = S("example.com")) {
        return test::awaitValue(
                   {bing + S("/search?q=site%3A") + domainInAddress(domain), S("结果(共"), S("条")})
            .text;
    }
    int requests() { return int(fx.services.targets(Role::Bing).size()); }
};

TEST_F(FetchTest, PageWithoutDeclarationIsOneGb2312Request) {
    serve(toGbk(S("<html>丂 结果(共1,234,567条</html>")));
    EXPECT_EQ(value(), S("1234567"));
    EXPECT_EQ(requests(), 1);
    EXPECT_EQ(fx.services.targets(Role::Bing).first(), QByteArray("/search?q=site%3Aexample.com"));
}

TEST_F(FetchTest, DeclaredGb2312UsesSecondRequestDecodedAsGbk) {
    serve(toGbk(S("<meta content=\"text/html; charset=gb2312\">丂结果(共约12,345条")));
    EXPECT_EQ(value(), S("约12345"));
    EXPECT_EQ(requests(), 3);
}

TEST_F(FetchTest, AnyOtherDeclarationUsesThirdRequestDecodedAsUtf8) {
    for (const char* declared : {"utf-8\"", "GB2312\"", "gbk\"", "\"utf-8\"", "gb2312>"}) {
        fx.services.clearLog();
        serve(QByteArray("<meta charset=") + declared + S(" 结果(共 7 条").toUtf8());
        EXPECT_EQ(value(), S(" 7 ")) << declared;
        EXPECT_EQ(requests(), 3) << declared;
    }
}

TEST_F(FetchTest, CapitalisedCharsetIsNotADeclaration) {
    serve(toGbk(S("<meta Charset=\"utf-8\">结果(共9条")));
    EXPECT_EQ(value(), S("9"));
    EXPECT_EQ(requests(), 1);
}

TEST_F(FetchTest, MissingMarkersAndFailuresGiveX) {
    serve("<html>nothing</html>");
    EXPECT_EQ(value(), NotFoundMark);
    serve(toGbk(S("结果(共")));
    EXPECT_EQ(value(), NotFoundMark);
    fx.services.setFailure(Role::Bing, Failure::ServerError);
    EXPECT_EQ(value(), NotFoundMark);
    fx.services.setFailure(Role::Bing, Failure::Refuse);
    EXPECT_EQ(value(), NotFoundMark);
    fx.services.setFailure(Role::Bing, Failure::InvalidBytes);
    EXPECT_EQ(value(), NotFoundMark);
}

TEST_F(FetchTest, AValueWithoutEndMarkerKeepsItsFirst256Characters) {
    serve(toGbk(S("结果(共")) + QByteArray(300000, '7'));
    EXPECT_EQ(value(), QString(256, u'7'));
}

// Block and error pages quote counts too: none of them may pass for a figure.
TEST_F(FetchTest, RefusalsAndErrorPagesAreNeverFigures) {
    const QString url = bing + S("/search?q=site%3Aexample.com");
    const auto check = [&](const QByteArray& body, int status, Verdict expected) {
        fx.services.setRoute(Role::Bing, "/", standin::Page{body, status});
        const ValueResult r = test::awaitValue({url, S("结果(共"), S("条")});
        EXPECT_EQ(r.text, NotFoundMark) << status;
        EXPECT_EQ(r.verdict, expected) << status;
        EXPECT_EQ(resultPageText(test::awaitFetch(url), S("gb2312")), QString()) << status;
    };
    check(toGbk(S("结果(共5条")), 403, Verdict::Blocked);
    check(toGbk(S("<meta charset=\"utf-8\">结果(共5条")), 429, Verdict::Blocked);
    check(toGbk(S("请输入验证码 结果(共5条")), 200, Verdict::Blocked);
    // The same page in UTF-8 without a declaration: one verdict, whichever reads it.
    check(S("请输入验证码 结果(共5条").toUtf8(), 200, Verdict::Blocked);
    const auto slow = slowDownAsked(test::awaitFetch(url), QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(slow);
    EXPECT_TRUE(slow->blocked);
    check(toGbk(S("结果(共5条")), 404, Verdict::Error);
    check(toGbk(S("结果(共5条")), 500, Verdict::Error);
    fx.services.setRoute(Role::Bing, "/", standin::Page{toGbk(S("结果(共5条")), 200});
    EXPECT_EQ(value(), S("5"));
}

TEST_F(FetchTest, SilentDrippingAndHugeServersEndWithinTheLimit) {
    for (Failure failure : {Failure::NeverAnswer, Failure::Drip, Failure::HugeBody}) {
        fx.services.setFailure(Role::Bing, failure);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(value(), NotFoundMark);
        EXPECT_LT(timer.elapsed(), 10000) << int(failure);
    }
}

TEST_F(FetchTest, PagesPastTheBodyCapAndDecompressionBombsAreFailedFetches) {
    // Markers at the very start do not make an oversized answer a page.
    serve(toGbk(S("结果(共5条")) + QByteArray(5 << 20, ' '));
    EXPECT_EQ(value(), NotFoundMark);
    EXPECT_EQ(test::awaitFetch(bing + S("/x")).outcome, FetchOutcome::TooBig);
    // The stand-in sends this compressed to a few kilobytes: never a page of compressed bytes.
    serve(toGbk(S("结果(共5条")) + QByteArray(12 << 20, 'a'));
    const FetchResult bomb = test::awaitFetch(bing + S("/x"));
    EXPECT_NE(bomb.outcome, FetchOutcome::Answered);
    EXPECT_TRUE(bomb.body.isEmpty());
    EXPECT_EQ(value(), NotFoundMark);
}

// A gigabyte behind a megabyte of gzip is too big at the cap, not a silent host after the time
// limit, and Qt has nothing to say about it on stderr.
TEST_F(FetchTest, AGzipBombIsTooBigAtOnceAndTheHostStaysAsked) {
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type != QtDebugMsg) warnings.append(text);
        });
    fx.services.setFailure(Role::Bing, Failure::GzipBomb);
    const QString url = bing + S("/search?q=site%3Aexample.com");
    // As one query: the bomb, then the same host again once it serves a page.
    ValueResult bomb;
    const ValueResult after = test::awaitChain<ValueResult>(
        [&](const Chain& chain, auto done) {
            fetchValue(chain, {url, S("结果(共"), S("条")}, [&, chain, done](const ValueResult& r) {
                bomb = r;
                fx.services.setFailure(Role::Bing, Failure::None);
                serve(QByteArray(200000, ' ') + toGbk(S("结果(共8条")));
                fetchValue(chain, {url, S("结果(共"), S("条")}, done);
            });
        },
        60000);
    qInstallMessageHandler(previous);
    EXPECT_EQ(bomb.text, NotFoundMark);
    EXPECT_EQ(bomb.verdict, Verdict::Error);
    EXPECT_EQ(bomb.detail, S("页面过大"));
    // Not taken for silent, and an ordinary compressed page still reads whole.
    EXPECT_EQ(after.text, S("8"));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

// More requests to one host than it takes connections at once: the later ones wait for a
// connection, and their time limit starts only when they leave.
TEST_F(FetchTest, RequestsWaitingForAConnectionAreNotTimedOut) {
    serve(toGbk(S("结果(共5条")));
    fx.services.setLatency(Role::Bing, 500);
    QObject context;
    int answered = 0, ended = 0;
    for (int n = 0; n < 24; ++n)
        fetchAsync(bing + S("/s?n=%1").arg(n), defaultFetchOptions(), &context,
                   [&](const FetchResult& r) {
                       ++ended;
                       answered += r.answered() ? 1 : 0;
                   });
    ASSERT_TRUE(test::waitFor([&] { return ended == 24; }, 60000));
    EXPECT_EQ(answered, 24);
}

TEST_F(FetchTest, DomainIsSentAsTypedAndNeverInterpreted) {
    serve(toGbk(S("结果(共1条")));
    const QStringList domains = {S("a b.com"),       S("中文.com"), S("x#y&z=1"), S("\"q\"'"),
                                 S("; rm -rf ~"),    S("$(id)"),    S("x%y"),     S("100%"),
                                 QString(300, u'a'), QString()};
    for (const QString& d : domains) {
        fx.services.clearLog();
        EXPECT_EQ(value(d), S("1")) << d.toStdString();
        ASSERT_EQ(requests(), 1);
        const QByteArray target = fx.services.targets(Role::Bing).first();
        EXPECT_EQ(QUrl::fromPercentEncoding(target), S("/search?q=site:") + d)
            << target.toStdString();
    }
    // Characters that would read as address syntax stay part of the domain; the prefix's own
    // escape stays as it is.
    for (const auto& [typed, sent] : {std::pair{"a.cn&x=1", "a.cn%26x=1"},
                                      {"a?b", "a%3Fb"},
                                      {"a#b", "a%23b"},
                                      {"a+b", "a%2Bb"},
                                      {"a%26b", "a%2526b"}}) {
        fx.services.clearLog();
        EXPECT_EQ(value(S(typed)), S("1")) << typed;
        EXPECT_EQ(fx.services.targets(Role::Bing).value(0), QByteArray("/search?q=site%3A") + sent);
    }
}

TEST(OpenQueryUrl, GoesThroughTheBrowserSeam) {
    test::FakePlatform fake;
    OpenQueryUrl(S("http://h/search?q=inlink%3A"), S("a.com; touch /tmp/p"));
    ASSERT_EQ(fake.opened.size(), 1);
    EXPECT_EQ(fake.opened.first().host(), S("h"));
    EXPECT_EQ(QUrl::fromPercentEncoding(fake.opened.first().toEncoded()),
              S("http://h/search?q=inlink:a.com; touch /tmp/p"));
}

TEST(Services, OverridesAcceptKnownRolesOnly) {
    applyServiceOverrides(
        S("baidu=127.0.0.1:1\nnonsense\nunknown=1.2.3.4\ngoogle=bad "
          "host\nproduct=http://p/zorvan\n"));
    EXPECT_EQ(serviceHost(Role::Baidu), S("127.0.0.1:1"));
    EXPECT_EQ(serviceHost(Role::Google), S("www.google.com.hk"));
    EXPECT_EQ(serviceHost(S("unknown")), QString());
    EXPECT_EQ(productAddress(), S("http://p/zorvan"));
    reloadServices();
}

}  // namespace
