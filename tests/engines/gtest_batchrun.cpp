// The batch run on its own, against the stand-in services: the walk, its records, and what a
// listener may do from its reports. The record helpers it keeps them with come first.
#include <gtest/gtest.h>

#include <QPointer>

#include "core/services.h"
#include "engines/batchrun.h"
#include "engines/queryengine.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

}  // namespace

TEST(BatchRecords, RecordJoinsEighteenTextsAndSplitsBack) {
    QStringList texts;
    for (int i = 0; i < 18; ++i) texts.append(QString::number(i * 11));
    texts[2] = QStringLiteral("...");
    texts[17] = QStringLiteral("X");
    const QString record = joinBatchRecord(texts);
    EXPECT_EQ(record.count(QLatin1Char(',')), 17);
    EXPECT_FALSE(record.startsWith(QLatin1Char(',')));
    EXPECT_EQ(batchRecordPieces(record), texts);
    EXPECT_TRUE(batchRecordPieces(QString()).isEmpty());
    EXPECT_EQ(batchRecordPieces(QStringLiteral(",")), (QStringList{QString(), QString()}));
}

TEST(BatchRecords, StoreGrowsByOneEntryAtMost) {
    QStringList records = BatchBook::initialRecords();
    EXPECT_TRUE(BatchBook::store(records, 0, QStringLiteral("r0")));
    EXPECT_TRUE(BatchBook::store(records, 1, QStringLiteral("r1")));
    EXPECT_TRUE(BatchBook::store(records, 2, QStringLiteral("r2")));
    EXPECT_EQ(records,
              (QStringList{QStringLiteral("r0"), QStringLiteral("r1"), QStringLiteral("r2")}));
    EXPECT_FALSE(BatchBook::store(records, 5, QStringLiteral("r5")));
    EXPECT_EQ(records.size(), 4);
    EXPECT_FALSE(BatchBook::store(records, -1, QStringLiteral("none")));
    EXPECT_TRUE(BatchBook::store(records, 1, QStringLiteral("again")));
    EXPECT_EQ(records.value(1), QStringLiteral("again"));
}

TEST(BatchRecords, RecordsAreDroppedWhenTheReloadedListDiffers) {
    BatchBook book;
    QStringList records = BatchBook::initialRecords();
    const QStringList list{QStringLiteral("a.com"), QStringLiteral("b.com"),
                           QStringLiteral("c.com")};
    EXPECT_FALSE(book.listLoaded(list, records));
    for (int i = 0; i < 3; ++i) BatchBook::store(records, i, QStringLiteral("r%1").arg(i));

    EXPECT_FALSE(book.listLoaded(list, records));  // same list again: the records still fit
    EXPECT_EQ(records.value(2), QStringLiteral("r2"));

    const QStringList reordered{QStringLiteral("b.com"), QStringLiteral("a.com"),
                                QStringLiteral("c.com")};
    EXPECT_TRUE(book.listLoaded(reordered, records));
    EXPECT_EQ(records, BatchBook::initialRecords());
}

class BatchRunTest : public ::testing::Test {
  protected:
    test::StandinFixture fx{1500};
    BatchRun run;
    QStringList done, started;
    bool finished = false;

    void SetUp() override {
        ASSERT_GT(
            fx.services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes")), 0);
        QObject::connect(&run, &BatchRun::domainDone, [this](int i, const CombinedQueryEngine* q) {
            done.append(QString::number(i) + u':' + q->domain());
        });
        QObject::connect(&run, &BatchRun::domainStarted, [this](int i, const QString& d) {
            started.append(QString::number(i) + u':' + d);
        });
        QObject::connect(&run, &BatchRun::finished, [this] { finished = true; });
    }
};

TEST_F(BatchRunTest, WalksTheListInOrderAndStoresEveryRecordUnderItsEntry) {
    run.setDoneWhen(BatchRun::DoneWhen::AllAnswers);
    run.start({S("a.net"), S("b.net"), S("c.net")});
    ASSERT_TRUE(test::waitFor([this] { return finished; }, 30000));
    EXPECT_EQ(started, (QStringList{S("0:a.net"), S("1:b.net"), S("2:c.net")}));
    EXPECT_EQ(done, (QStringList{S("0:a.net"), S("1:b.net"), S("2:c.net")}));
    EXPECT_FALSE(run.isActive());
    EXPECT_EQ(fx.services.targets(Role::Alexa),
              (QList<QByteArray>{"/siteinfo/a.net", "/siteinfo/b.net", "/siteinfo/c.net"}));
    // Every answer is in each record, the PageRank lookup's too.
    for (int i = 0; i < 3; ++i) {
        const QStringList pieces = batchRecordPieces(run.record(i));
        ASSERT_EQ(pieces.size(), FigureCount);
        EXPECT_EQ(pieces[int(Figure::AlexaRank)], S("128456"));
        EXPECT_EQ(pieces[int(Figure::PageRank)], S("4"));
    }
}

// The window reloads its list while a query runs: the record is kept only under the entry it was
// queried for, and the walk goes on from where the reload put it.
TEST_F(BatchRunTest, AListChangedDuringAQueryDropsTheRecordsAndTheWalkFollowsThePosition) {
    run.start({S("a.net"), S("b.net")});
    ASSERT_TRUE(test::waitFor([this] { return !done.isEmpty(); }, 30000));
    EXPECT_FALSE(run.record(0).isEmpty());
    ASSERT_EQ(started.size(), 2);  // b.net runs now
    EXPECT_TRUE(run.setList({S("x.net"), S("b.net"), S("y.net")}));
    EXPECT_TRUE(run.record(0).isEmpty());
    run.setPosition(0);  // x.net is shown: b.net's figures do not belong there
    ASSERT_TRUE(test::waitFor([this] { return done.size() == 2; }, 30000));
    EXPECT_TRUE(run.record(0).isEmpty());
    ASSERT_TRUE(test::waitFor([this] { return finished; }, 30000));
    EXPECT_EQ(started.last(), S("2:y.net"));
    EXPECT_FALSE(run.record(2).isEmpty());
}

TEST_F(BatchRunTest, AnEmptyEntryStopsTheWalkStillActive) {
    run.start({S("a.net"), QString(), S("c.net")});
    ASSERT_TRUE(test::waitFor([this] { return started.size() == 2 && run.current()->isFinished(); },
                              30000));
    EXPECT_FALSE(finished);
    EXPECT_TRUE(run.isActive());
    EXPECT_EQ(done, QStringList{S("0:a.net")});
    EXPECT_TRUE(fx.services.targets(Role::Alexa) == QList<QByteArray>{"/siteinfo/a.net"});
}

// A listener may end the run from its report: nothing of it is touched afterwards (the
// sanitizer build would tell), and the walk goes no further.
TEST_F(BatchRunTest, DeletedFromItsOwnReportItStopsAtOnce) {
    auto* owned = new BatchRun;
    QPointer<BatchRun> watched = owned;
    QStringList walked;
    QObject::connect(owned, &BatchRun::domainStarted,
                     [&](int, const QString& d) { walked.append(d); });
    QObject::connect(owned, &BatchRun::domainDone, [owned] { delete owned; });
    owned->start({S("a.net"), S("b.net")});
    ASSERT_TRUE(test::waitFor([&] { return watched.isNull(); }, 30000));
    EXPECT_EQ(walked, QStringList{S("a.net")});
}

// Side by side: the first domains answer slowest, yet every record is stored and reported under
// its own entry in list order, never more queries at once than the jobs, never further ahead of
// the first unreported entry than the look-ahead.
TEST_F(BatchRunTest, ManyJobsReportInListOrderWhateverEndsFirst) {
    QStringList domains;
    for (int d = 0; d < 10; ++d) {
        domains.append(S("j%1.net").arg(d));
        fx.services.setTargetLatency(domains.last().toUtf8(), d < 2 ? 400 : 10);
    }
    run.setJobs(2);
    run.setDoneWhen(BatchRun::DoneWhen::AllAnswers);
    int most = 0, furthest = 0;
    QObject::connect(&run, &BatchRun::domainStarted, [&](int index, const QString&) {
        most = std::max(most, run.inFlight() + 1);
        furthest = std::max(furthest, index - int(done.size()));
    });
    run.start(domains);
    ASSERT_TRUE(test::waitFor([this] { return finished; }, 60000));
    QStringList expected;
    for (int d = 0; d < 10; ++d) expected.append(S("%1:j%1.net").arg(d));
    EXPECT_EQ(done, expected);
    EXPECT_EQ(started.size(), 10);
    EXPECT_EQ(most, 2);
    EXPECT_LE(furthest, run.lookAhead());
    for (int d = 0; d < 10; ++d)
        EXPECT_EQ(batchRecordPieces(run.record(d)).value(int(Figure::AlexaRank)), S("128456"));
    EXPECT_EQ(run.inFlight(), 0);
}

// Stopped with queries in flight and finished ones waiting for their turn: nothing more of that
// walk is reported or asked, and the next walk goes on alone; it outlasts the slowest answer of
// the stopped one.
TEST_F(BatchRunTest, StoppedItReportsAndAsksNothingMore) {
    QStringList domains;
    for (int d = 0; d < 8; ++d) domains.append(S("s%1.net").arg(d));
    fx.services.setTargetLatency("s0.net", 300);
    fx.services.setTargetLatency("next.net", 600);
    run.setJobs(4);
    run.start(domains);
    // A fifth started: a domain after s0 is done and waits for s0.
    ASSERT_TRUE(test::waitFor([this] { return started.size() >= 5; }, 30000));
    run.stop();
    const QStringList startedBefore = started;
    EXPECT_EQ(run.inFlight(), 0);
    EXPECT_FALSE(run.isActive());
    run.setDoneWhen(BatchRun::DoneWhen::AllAnswers);
    run.start({S("next.net")});
    ASSERT_TRUE(test::waitFor([this] { return finished; }, 30000));
    EXPECT_EQ(done, QStringList{S("0:next.net")});
    for (const auto& entry : fx.services.log()) {
        for (qsizetype d = 0; d < domains.size(); ++d) {
            if (entry.target.contains(domains[d].toUtf8())) {
                EXPECT_TRUE(startedBefore.contains(QString::number(d) + u':' + domains[d]))
                    << entry.target.constData();
            }
        }
    }
}
