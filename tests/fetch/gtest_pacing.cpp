// Pacing per host and the answers that ask to slow down, on real requests to the stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "fetch/fetch.h"
#include "fetch/pacer.h"
#include "fetch/sequencer.h"
#include "fetch/services.h"
#include "fetch/valuefetch.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::toGbk;

namespace {

using zorvan::S;

const QString Marker = S("结果(共");
const QByteArray ResultPage = toGbk(S("<html>结果(共1,234条</html>"));
const QByteArray VerificationPage = toGbk(S("<html>请输入验证码</html>"));

// Request starts come from the stand-in's log, taken as the server sees them: a scheduler may
// hold one request a little longer than the next on its way there.
constexpr qint64 Allowance = 40;

class PacingTest : public ::testing::Test {
protected:
    test::StandinFixture fx{3000};
    HostPacer pacer;
    QString bing = serviceBase(Role::Bing);

    QString address(int n) const { return bing + S("/search?q=") + QString::number(n); }

    std::unique_ptr<RequestSequencer> sequencer(bool patient, std::optional<int> deadlineMs = std::nullopt) {
        auto requests = std::make_unique<RequestSequencer>();
        requests->setPacer(&pacer);
        requests->setPatient(patient);
        requests->reset(deadlineMs);
        return requests;
    }

    ValueResult value(RequestSequencer& requests) {
        ValueResult result;
        requests.run(S("test"), {[&](const Chain& chain) {
            fetchValue(chain, {address(0), Marker, S("条")}, [&](const ValueResult& r) { result = r; });
        }});
        EXPECT_TRUE(test::waitFor([&] { return requests.isIdle(); }, 60000));
        return result;
    }

    std::vector<standin::LogEntry> bingLog() const { return fx.services.log(Role::Bing); }
};

}  // namespace

TEST_F(PacingTest, RequestsToOneHostStartAnIntervalApartAcrossSequencers) {
    constexpr int Interval = 200;
    pacer.setInterval(Interval);
    fx.services.setRoute(Role::Bing, "/", standin::Page{ResultPage, 200});
    std::vector<std::unique_ptr<RequestSequencer>> all;
    for (int s = 0; s < 3; ++s) {
        all.push_back(sequencer(false));
        for (int n = 0; n < 3; ++n)
            all.back()->run(S("c%1").arg(n), {[this, n](const Chain& chain) { chain.fetch(address(n), [](auto&) {}); }});
    }
    ASSERT_TRUE(test::waitFor([&] { return std::all_of(all.begin(), all.end(), [](auto& r) { return r->isIdle(); }); }));
    std::vector<qint64> starts;
    for (const auto& entry : bingLog()) starts.push_back(entry.startMs);
    ASSERT_EQ(starts.size(), 9u);
    std::sort(starts.begin(), starts.end());
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_GE(starts[i] - starts[i - 1], Interval - Allowance) << i;
    // Another host keeps its own turn.
    EXPECT_EQ(pacer.interval(addressAuthority(address(0))), Interval);
    EXPECT_EQ(pacer.reserve(addressAuthority(serviceBase(Role::Google))).waitMs, 0);
}

TEST_F(PacingTest, ARetryAfterIsWaitedOutEvenPastTheDeadlineAndAskedAgain) {
    fx.services.queueAnswers(Role::Bing, {standin::Page{"slow down", 429, {}, "1"}});
    fx.services.setRoute(Role::Bing, "/", standin::Page{ResultPage, 200});
    QStringList waits;
    auto requests = sequencer(true, 500);
    QObject::connect(requests.get(), &RequestSequencer::waiting,
                     [&](const QString& host, double seconds, const QString& reason) {
                         waits << S("%1 %2 %3").arg(host).arg(seconds).arg(reason);
                     });
    const ValueResult result = value(*requests);
    EXPECT_EQ(result.text, S("1234"));
    EXPECT_EQ(result.verdict, Verdict::Ok);
    const auto log = bingLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_GE(log[1].startMs - log[0].endMs, 1000 - Allowance);
    EXPECT_EQ(waits, QStringList{addressAuthority(bing) + S(" 1 HTTP 429 Retry-After")});
}

TEST_F(PacingTest, AnImpatientSequencerHandsOnTheRefusalAsItCame) {
    fx.services.queueAnswers(Role::Bing, {standin::Page{"slow down", 429, {}, "1"}});
    fx.services.setRoute(Role::Bing, "/", standin::Page{ResultPage, 200});
    auto requests = sequencer(false, 5000);
    const ValueResult result = value(*requests);
    EXPECT_EQ(result.text, NotFound);
    EXPECT_EQ(result.verdict, Verdict::Blocked);
    EXPECT_EQ(bingLog().size(), 1u);
}

TEST_F(PacingTest, AVerificationPageTwiceThenARealPageGivesTheFigure) {
    fx.services.setRoute(Role::Bing, "/", standin::Page{ResultPage, 200});
    fx.services.queueAnswers(Role::Bing, {standin::Page{VerificationPage, 200}, standin::Page{VerificationPage, 200}});
    auto requests = sequencer(true, 1000);
    EXPECT_EQ(value(*requests).text, S("1234"));
    auto log = bingLog();
    ASSERT_EQ(log.size(), 3u);
    // The gap doubles from a second, then again.
    EXPECT_GE(log[1].startMs - log[0].endMs, 1000 - Allowance);
    EXPECT_GE(log[2].startMs - log[1].endMs, 2000 - Allowance);
}

TEST_F(PacingTest, AlwaysAVerificationPageIsBlockedAfterTwoMoreAsks) {
    fx.services.setRoute(Role::Bing, "/", standin::Page{VerificationPage, 200});
    auto requests = sequencer(true, 1000);
    const ValueResult blocked = value(*requests);
    EXPECT_EQ(blocked.text, NotFound);
    EXPECT_EQ(blocked.verdict, Verdict::Blocked);
    EXPECT_EQ(bingLog().size(), 1u + RequestSequencer::MaxBlockedRetries);
}

TEST(RetryAfter, ReadsSecondsAndHttpDates) {
    const QDateTime now = QDateTime::fromString(S("2026-12-09T01:00:00Z"), Qt::ISODate);
    EXPECT_EQ(retryAfterMs(" 120 ", now), 120000);
    EXPECT_EQ(retryAfterMs("Wed, 09 Dec 2026 01:00:30 GMT", now), 30000);
    EXPECT_EQ(retryAfterMs("Wed, 09 Dec 2026 00:59:00 GMT", now), 0);
    // Far beyond the cap stays within reach of it, without overflow.
    EXPECT_EQ(retryAfterMs("99999999999999999", now), HostPacer::MaxPauseMs + 1000);
    for (const char* bad : {"", "-5", "soon", "2026-12-09"}) EXPECT_FALSE(retryAfterMs(bad, now)) << bad;
}
