#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include "core/services.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "tools/update.h"
#include "vocab/text.h"

using namespace zorvan;
using standin::Failure;
using test::toGbk;

namespace {

using zorvan::S;

class UpdateTest : public ::testing::Test {
  protected:
    test::StandinFixture fx{1500};
    test::FakePlatform fake;

    void serve(const QByteArray& body, int status = 200) {
        fx.services.setRoute(Role::Maker, "/mirelo/shenji.txt", standin::Page{body, status});
    }
    // Runs one check and returns the question asked, or an empty text when none was.
    QString check() {
        fake.messages.clear();
        QObject owner;
        bool finished = false;
        UpdateCheck(&owner, [&] { finished = true; });
        EXPECT_TRUE(test::waitFor([&] { return finished; }));
        if (fake.messages.isEmpty()) return {};
        EXPECT_EQ(fake.messages.size(), 1);
        return fake.messages.first().text;
    }
};

}  // namespace

TEST(UpdateVersion, FirstLineEndsAtCrLfOnly) {
    EXPECT_EQ(latestVersionText(S("8.9\r\n9.0\r\n")), S("8.9"));
    EXPECT_EQ(latestVersionText(S("8.9")), S("8.9"));
    EXPECT_EQ(latestVersionText(S("8.9\n9.0\n")), S("8.9\n9.0\n"));
    EXPECT_EQ(latestVersionText(S("\r\n8.9")), QString());
    EXPECT_EQ(latestVersionText(QString()), QString());
    EXPECT_EQ(CurrentVersionText, S("8.9"));
}

TEST_F(UpdateTest, SameVersionAsksNothing) {
    for (const QByteArray& body :
         {QByteArray("8.9\r\n"), QByteArray("8.9"), QByteArray("8.9\r\n9.9\r\n"), QByteArray(),
          QByteArray("\r\n9.0")}) {
        serve(body);
        EXPECT_EQ(check(), QString()) << body.constData();
    }
    EXPECT_TRUE(fake.opened.isEmpty());
    EXPECT_EQ(fx.services.targets(Role::Maker).last(), QByteArray("/mirelo/shenji.txt"));
}

TEST_F(UpdateTest, AnyOtherTextAsks) {
    serve("9.0\r\nnotes\r\n");
    EXPECT_EQ(check(), S("最新版本Zorvan站长9.0，是否更新？"));
    const Message& asked = fake.messages.first();
    EXPECT_EQ(asked.title, S("发现最新版本"));
    EXPECT_EQ(asked.icon, MessageIcon::Question);
    EXPECT_EQ(asked.buttons, MessageButtons::OkCancel);

    serve("8.6\r\n");
    EXPECT_EQ(check(), S("最新版本Zorvan站长8.6，是否更新？"));
    serve("8.9 \r\n");
    EXPECT_EQ(check(), S("最新版本Zorvan站长8.9 ，是否更新？"));
    serve("8.9\n");  // a bare line feed is part of the compared text
    EXPECT_EQ(check(), S("最新版本Zorvan站长8.9\n，是否更新？"));
    serve(toGbk(S("丂版9.1\r\n")));  // code page 936, including a GBK-only character
    EXPECT_EQ(check(), S("最新版本Zorvan站长丂版9.1，是否更新？"));
}

TEST_F(UpdateTest, AHugeOrEndlessFirstLineIsNoVersion) {
    serve(QByteArray(1 << 20, '9'));
    EXPECT_EQ(check(), QString());
    serve(QByteArray(33, '9') + "\r\n");
    EXPECT_EQ(check(), QString());
    serve(QByteArray(32, '9') + "\r\n");
    EXPECT_EQ(check(), S("最新版本Zorvan站长") + QString(32, u'9') + S("，是否更新？"));
    // Only the file's start is read: a version line before megabytes of anything still counts.
    serve(QByteArray("9.0\r\n") + QByteArray(5 << 20, 'x'));
    EXPECT_EQ(check(), S("最新版本Zorvan站长9.0，是否更新？"));
}

TEST_F(UpdateTest, ErrorPageNamesItsFirstLine) {
    serve("Internal Server Error\r\n<html></html>", 500);
    EXPECT_EQ(check(), S("最新版本Zorvan站长Internal Server Error，是否更新？"));
}

TEST_F(UpdateTest, NoNetworkAsksNothing) {
    serve("9.0\r\n");
    for (Failure failure : {Failure::Refuse, Failure::NeverAnswer, Failure::Drip}) {
        fx.services.setFailure(Role::Maker, failure);
        EXPECT_EQ(check(), QString()) << int(failure);
    }
    fx.services.setRoute(Role::Maker, "/mirelo/shenji.txt", standin::Page{QByteArray(), 404});
    fx.services.setFailure(Role::Maker, Failure::None);
    EXPECT_EQ(check(), QString());
    EXPECT_TRUE(fake.opened.isEmpty());
}

TEST_F(UpdateTest, OkOpensTheDownloadPageAndCancelNothing) {
    serve("9.0\r\n");
    fake.answers.enqueue(MessageAnswer::Cancel);
    EXPECT_FALSE(check().isEmpty());
    EXPECT_TRUE(fake.opened.isEmpty());

    fake.answers.enqueue(MessageAnswer::Ok);
    EXPECT_FALSE(check().isEmpty());
    EXPECT_EQ(fake.openedAddresses(), QStringList{fx.base(Role::Maker) + S("/mirelo/")});
    EXPECT_EQ(fx.services.targets(Role::Maker).size(), 2);  // the page is opened, not fetched
}

TEST_F(UpdateTest, WindowClosedDuringTheFetchAsksNothing) {
    serve("9.0\r\n");
    fx.services.setLatency(Role::Maker, 300);
    auto* window = new QWidget;
    bool finished = false;
    UpdateCheck(window, [&] { finished = true; });
    QTimer::singleShot(50, window, [window] { window->deleteLater(); });
    EXPECT_TRUE(test::waitFor([&] {
        return !fx.services.log(Role::Maker).empty() && fx.services.log(Role::Maker)[0].endMs >= 0;
    }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(finished);
    EXPECT_TRUE(fake.messages.isEmpty());
}
