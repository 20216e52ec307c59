// Pacing per host and the answers that ask to slow down, on real requests to the stand-in.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "core/services.h"
#include "net/pacer.h"
#include "net/proxies.h"
#include "net/sequencer.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using standin::Page;
using zorvan::S;

namespace {

const Page ResultPage{test::toGbk(S("<html>结果(共1,234条</html>")), 200};
const Page VerificationPage{test::toGbk(S("<html>请输入验证码</html>")), 200};
const Page TooMany{"slow down", 429, {}, "1"};

// Starts are read from the stand-in's log, as the server sees them: a busy scheduler may hold one
// request a little longer than the next on its way there.
constexpr qint64 Allowance = 40;

class PacingTest : public ::testing::Test {
  protected:
    test::StandinFixture fx{3000};
    HostPacer pacer;
    QString bing = serviceBase(Role::Bing);

    std::unique_ptr<RequestSequencer> sequencer(bool patient, int deadlineMs) {
        auto requests = std::make_unique<RequestSequencer>(nullptr, pacer);
        requests->setPatient(patient);
        requests->reset(deadlineMs);
        return requests;
    }

    // The time between the end of each answer and the start of the next request, of the role
    // last asked.
    std::vector<qint64> pauses;

    // The value of one page of role under a deadline shorter than any wait asked for.
    ValueResult value(bool patient, const QString& role = Role::Bing) {
        auto requests = sequencer(patient, 1000);
        ValueResult result;
        const ValueRule rule{serviceBase(role) + S("/s"), S("结果(共"), S("条")};
        requests->run(S("test"), {[&](const Chain& chain) {
                          fetchValue(chain, rule, [&](const ValueResult& r) { result = r; });
                      }});
        EXPECT_TRUE(test::waitFor([&] { return requests->isIdle(); }, 60000));
        const auto log = fx.services.log(role);
        pauses.clear();
        for (size_t i = 1; i < log.size(); ++i) pauses.push_back(log[i].startMs - log[i - 1].endMs);
        return result;
    }
};

}  // namespace

TEST_F(PacingTest, RequestsToOneHostStartAnIntervalApartAcrossSequencers) {
    pacer.setInterval(200);
    fx.services.setRoute(Role::Bing, "/", ResultPage);
    std::unique_ptr<RequestSequencer> all[] = {sequencer(false, 60000), sequencer(false, 60000),
                                               sequencer(true, 60000)};
    for (int n = 0; n < 9; ++n)
        all[n % 3]->run(S("c%1").arg(n),
                        {[this](const Chain& chain) { chain.fetch(bing, [](auto&) {}); }});
    ASSERT_TRUE(test::waitFor([&] {
        return std::all_of(std::begin(all), std::end(all), [](auto& r) { return r->isIdle(); });
    }));
    std::vector<qint64> starts;
    for (const auto& entry : fx.services.log(Role::Bing)) starts.push_back(entry.startMs);
    ASSERT_EQ(starts.size(), 9u);
    std::sort(starts.begin(), starts.end());
    for (size_t i = 1; i < starts.size(); ++i)
        EXPECT_GE(starts[i] - starts[i - 1], 200 - Allowance) << i;
}

TEST_F(PacingTest, ARetryAfterIsWaitedOutPastTheDeadlineAndAskedAgain) {
    fx.services.queueAnswers(Role::Bing, {TooMany});
    fx.services.setRoute(Role::Bing, "/", ResultPage);
    EXPECT_EQ(value(true).text, S("1234"));
    EXPECT_EQ(pauses.size(), 1u);
    EXPECT_GE(pauses.at(0), 1000 - Allowance);

    // Impatient, as the window's single query: the answer is handed on as it came.
    fx.services.clearLog();
    fx.services.queueAnswers(Role::Bing, {TooMany});
    EXPECT_EQ(value(false).verdict, Verdict::Blocked);
    EXPECT_EQ(fx.services.log(Role::Bing).size(), 1u);

    // A wait asked for past the cap gives the host up at once: blocked, and not asked again.
    fx.services.clearLog();
    fx.services.queueAnswers(Role::Bing, {Page{"later", 429, {}, "3600"}});
    EXPECT_EQ(value(true).verdict, Verdict::Blocked);
    EXPECT_EQ(value(true).verdict, Verdict::Blocked);
    EXPECT_EQ(fx.services.log(Role::Bing).size(), 1u);
}

TEST_F(PacingTest, AVerificationPageIsAskedAgainTwiceAfterADoublingGap) {
    fx.services.setRoute(Role::Bing, "/", ResultPage);
    fx.services.queueAnswers(Role::Bing, {VerificationPage, VerificationPage});
    EXPECT_EQ(value(true).text, S("1234"));
    ASSERT_EQ(pauses.size(), 2u);
    EXPECT_GE(pauses[0], 1000 - Allowance);
    EXPECT_GE(pauses[1], 2000 - Allowance);
    // Always a verification page (another host, so its gap starts afresh): "X", blocked.
    fx.services.setRoute(Role::Google, "/", VerificationPage);
    EXPECT_EQ(value(true, Role::Google).verdict, Verdict::Blocked);
    EXPECT_EQ(pauses.size(), size_t(RequestSequencer::MaxBlockedRetries));
}

// The pacer on a clock of its own, without a network.
TEST(HostPacer, KeepsTheGapFromWhenARequestReallyLeftAndGivesBackUnusedTurns) {
    qint64 t = 0;
    HostPacer pacer([&] { return t; });
    pacer.setInterval(1000);
    const QString host = S("h:80");
    EXPECT_EQ(pacer.reserve(host).waitMs, 0);
    HostPacer::Slot second = pacer.reserve(host);
    EXPECT_EQ(second.waitMs, 1000);
    // The first was written 30 ms after its turn: the second's gap counts from then, never less.
    t = 30;
    pacer.depart(host);
    t = 1000;
    second = pacer.confirm(second, host);
    EXPECT_GE(second.waitMs, 30);
    t += second.waitMs;
    EXPECT_EQ(pacer.confirm(second, host).waitMs, 0);
    // Turns reserved and never taken hold nobody back once given back.
    const HostPacer::Slot third = pacer.reserve(host), fourth = pacer.reserve(host);
    EXPECT_EQ(fourth.waitMs, 2000);
    pacer.release(fourth, host);
    pacer.release(third, host);
    HostPacer::Slot next = pacer.reserve(host);
    EXPECT_EQ(next.waitMs, 1000);
    // A turn taken holds the host until its request is written, however late that is.
    t += 1000;  // the second still waits for a connection
    EXPECT_EQ((next = pacer.confirm(next, host)).waitMs, 1000);
    t += 500;
    pacer.depart(host);
    t += 500;
    EXPECT_EQ(pacer.confirm(next, host).waitMs, 501);
}

// A request refused before it is written frees its host once its fetch is gone.
TEST(HostPacer, ARequestEndedUnwrittenHoldsNobodyBack) {
    qint64 t = 0;
    HostPacer pacer([&] { return t; });
    pacer.setHostInterval(S("127.0.0.1:1"), 1000);
    RequestSequencer requests(nullptr, pacer);
    requests.run(S("refused"),
                 {[](const Chain& chain) { chain.fetch(S("http://127.0.0.1:1/"), [](auto&) {}); }});
    ASSERT_TRUE(test::waitFor([&] { return requests.isIdle(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    t = 20000;
    EXPECT_EQ(pacer.reserve(S("127.0.0.1:1")).waitMs, 0);
}

TEST(HostPacer, PausesAndSlowDownsVoidTurnsAlreadyGiven) {
    qint64 t = 0;
    HostPacer pacer([&] { return t; });
    const QString host = S("h:80");
    EXPECT_TRUE(pacer.pause(host, 4000));
    EXPECT_FALSE(pacer.pause(host, 1000));
    const HostPacer::Slot held = pacer.reserve(host);
    EXPECT_EQ(held.waitMs, 4000);
    t = 4000;
    EXPECT_EQ(pacer.slowDown(host, 0), HostPacer::MinSlowGapMs);
    EXPECT_EQ(pacer.slowDown(host, 3999), std::nullopt);  // asked before: the same overload
    EXPECT_EQ(pacer.confirm(held, host).startMs, 5000);
}

TEST(HostPacer, AHostThatKeepsRefusingIsClosedPerExitAndProbedAgainLater) {
    qint64 t = 0;
    HostPacer pacer([&] { return t; });
    QStringList told;
    pacer.setGivenUpHandler([&](const QString& host) { told.append(host); });
    const QString host = S("h:80");
    const QList<Exit> both{Exit{0}, Exit{1}};
    for (int n = 0; n < HostPacer::MaxRefusals; ++n) pacer.noteRefusal(host, Exit{0}, both);
    EXPECT_EQ(pacer.reserve(host, both, true).exit, 1);  // the other proxy still asks it
    EXPECT_TRUE(pacer.giveUp(host, Exit{1}, both));      // a wait past the cap
    EXPECT_EQ(told, QStringList{host});
    EXPECT_TRUE(pacer.reserve(host, both, true).givenUp);
    EXPECT_FALSE(pacer.reserve(host, both).givenUp);  // the window's own query still asks
    t = HostPacer::ProbeAfterMs;
    EXPECT_FALSE(pacer.reserve(host, {Exit{1}}, true).givenUp);  // one probe
    EXPECT_TRUE(pacer.reserve(host, {Exit{1}}, true).givenUp);
    pacer.noteAccepted(host, Exit{1});
    EXPECT_FALSE(pacer.reserve(host, {Exit{1}}, true).givenUp);
}

// Threads sharing one pacer and one proxy pool, as the window's and the command's may: the turns
// each exit gives never come closer than the gap, and no proxy is dropped by accident.
TEST(Threads, ShareOnePacerAndOneProxyPool) {
    std::atomic<qint64> t{0};
    HostPacer pacer([&] { return t.load(); });
    pacer.setInterval(10);
    ProxyPool pool;
    QString why;
    pool.configure(
        {{*parseProxyLine(S("http://a:1"), &why), *parseProxyLine(S("http://b:1"), &why)},
         {},
         true});
    std::mutex mutex;
    std::map<int, std::vector<qint64>> starts;
    const auto ask = [&] {
        for (int k = 0; k < 200; ++k, t += k % 10 == 0) {
            const QList<Exit> exits = pool.liveExits();
            const HostPacer::Slot slot = pacer.reserve(S("h:80"), exits);
            pool.noteResult(exits[slot.exit].proxy, false);
            pacer.depart(S("h:80"), exits[slot.exit]);
            std::lock_guard lock(mutex);
            starts[exits[slot.exit].proxy].push_back(slot.startMs);
        }
    };
    std::thread threads[] = {std::thread(ask), std::thread(ask), std::thread(ask)};
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(pool.liveExits().size(), 2);
    for (auto& [exit, times] : starts) {
        std::sort(times.begin(), times.end());
        for (size_t i = 1; i < times.size(); ++i) ASSERT_GE(times[i] - times[i - 1], 10) << exit;
    }
}

TEST(RetryAfter, ReadsSecondsAndHttpDates) {
    const QDateTime now = QDateTime::fromString(S("2026-12-09T01:00:00Z"), Qt::ISODate);
    EXPECT_EQ(retryAfterMs(" 120 ", now), 120000);
    EXPECT_EQ(retryAfterMs("Wed, 09 Dec 2026 01:00:30 GMT", now), 30000);
    EXPECT_EQ(retryAfterMs("99999999999999999", now), HostPacer::MaxPauseMs + 1000);  // no overflow
    for (const char* bad : {"", "-5", "soon", "2026-12-09"})
        EXPECT_FALSE(retryAfterMs(bad, now)) << bad;
}
