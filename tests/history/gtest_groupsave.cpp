// Records saved in groups: the bytes of one-by-one saves, other writers' records kept between two
// groups, and what a run reads once.
#include <gtest/gtest.h>

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include "core/localfile.h"
#include "history/historysaver.h"
#include "history/runhistory.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::toGbk;

namespace {

FigureValues figures(const QString& seed) {
    FigureValues values;
    for (const FigureInfo& f : figureTable()) values[f.figure] = seed + f.key.right(3);
    return values;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// A hand-edited file: text before the first section, runs of blank lines, an indented header, a
// domain whose bytes hold "]" and "[" inside characters, and a last section without a line break.
const QByteArray HandEdited = toGbk(S("note before the sections\r\n\r\n\r\n"
                                      "[a.com]\r\n2010-5-1=1/1|||||||\r\n\r\n\r\n"
                                      "  [b.com] \r\n2010-5-1=2/2|||||||\r\n"
                                      "[e.com]\r\n\r\n")) +
                              QByteArray("[\x81\x5D\x81\x5B.cn]\r\n2010-5-1=3\r\n") +
                              toGbk(S("[c.com]\r\n2010-5-1=4/4|||||||"));

// Saves of existing and new sections, a day replaced, a domain twice in one group.
QList<DatedRecord> mixedGroup() {
    const QString gbkDomain = test::fromGbk(QByteArray("\x81\x5D\x81\x5B.cn"));
    return {{S("c.com"), S("2010-5-2"), figures(S("c"))},
            {S("new.com"), S("2010-5-2"), figures(S("n"))},
            {S("a.com"), S("2010-5-1"), figures(S("a"))},
            {S("b.com"), S("2010-5-2"), figures(S("b"))},
            {gbkDomain, S("2010-5-2"), figures(S("g"))},
            {S("e.com"), S("2010-5-2"), figures(S("e"))},
            {S("new.com"), S("2010-5-2"), figures(S("m"))},
            {S("a.com"), S("2010-5-3"), figures(S("a3"))}};
}

class GroupSaveTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("history.txt"));

    QByteArray oneByOne(const QByteArray& start, const QList<DatedRecord>& records) {
        const QString one = dir.filePath(QStringLiteral("one.txt"));
        EXPECT_TRUE(writeFileAtomically(one, start));
        for (const DatedRecord& r : records)
            EXPECT_FALSE(SaveHistory(one, r.domain, r.values, r.date));
        return fileBytes(one);
    }
};

TEST_F(GroupSaveTest, AGroupWritesTheBytesOfOneByOneSaves) {
    const QList<DatedRecord> group = mixedGroup();
    for (const QByteArray& start : {HandEdited, QByteArray(), QByteArray("   ")}) {
        ASSERT_TRUE(writeFileAtomically(path, start));
        ASSERT_FALSE(saveHistoryGroupTo(path, group));
        EXPECT_EQ(fileBytes(path), oneByOne(start, group)) << start.constData();
        // Every prefix of the group too: the file's end depends on which save came last.
        for (qsizetype n = 1; n < group.size(); ++n) {
            ASSERT_TRUE(writeFileAtomically(path, start));
            ASSERT_FALSE(saveHistoryGroupTo(path, group.first(n)));
            EXPECT_EQ(fileBytes(path), oneByOne(start, group.first(n))) << n;
        }
    }
}

// An import stores a group too: a record already stored is left alone (the file is not rewritten
// when all are), the others give the bytes of saving them one by one.
TEST_F(GroupSaveTest, AnImportSavesWhatDiffersAsOneByOneSaves) {
    ASSERT_TRUE(writeFileAtomically(path, HandEdited));
    const QList<DatedRecord> first = mixedGroup();
    QList<RecordFate> fates;
    ASSERT_FALSE(saveHistoryRecordsTo(path, first, &fates));
    EXPECT_EQ(fates.count(RecordFate::Same), 0);
    const QByteArray stored = fileBytes(path);
    ASSERT_FALSE(saveHistoryRecordsTo(path, first.mid(2, 3), &fates));
    EXPECT_EQ(fates, QList<RecordFate>(3, RecordFate::Same));
    EXPECT_EQ(fileBytes(path), stored);

    QList<DatedRecord> again = first;
    again[1].values = figures(S("changed"));
    again.append({S("b.com"), S("2010-5-9"), figures(S("b9"))});
    ASSERT_FALSE(saveHistoryRecordsTo(path, again, &fates));
    // new.com's day changed, then back as it was: two replacements.
    EXPECT_EQ(fates.count(RecordFate::Replaced), 2);
    EXPECT_EQ(fates.count(RecordFate::Added), 1);
    EXPECT_EQ(fileBytes(path), oneByOne(stored, {again[1], again[6], again.last()}));
}

// What a run reads once: of the days before it, only the latest (of two, the later in the file),
// which drops compare with, and every record from its day on, which --resume asks about.
TEST_F(GroupSaveTest, ARunKeepsWhatDropsAndResumingNeed) {
    ASSERT_TRUE(writeFileAtomically(
        path, toGbk(S("[a.com]\r\n2010-5-1=500/1\r\n2010-5-3=400/1\r\n2010-5-3=100/1\r\n"
                      "2010-5-2=900/1\r\nbroken\r\n2010-5-4=90/1\r\n  [b.com]\r\n"
                      "2010-5-4=1/1\r\n[a.com]\r\n2010-5-1=999/1\r\n"))));
    const QDate today(2010, 5, 4);
    const auto history = RunHistory::read(path, {S("a.com"), S("b.com"), S("c.com")}, today);
    ASSERT_TRUE(history);
    const QList<StoredRecord> kept = history->records(S("a.com"));
    // The indented header does not end a.com's section: its record is a.com's too.
    ASSERT_EQ(kept.size(), 3);
    EXPECT_EQ(kept[0].date, S("2010-5-3"));
    EXPECT_EQ(kept[0].values[Figure::IndexedBaidu], S("100"));
    EXPECT_EQ(kept[1].date, S("2010-5-4"));
    FigureValues now;
    now[Figure::IndexedBaidu] = S("50");
    const QList<FigureDrop> drops = history->drops(S("a.com"), now, today);
    ASSERT_EQ(drops.size(), 1);
    EXPECT_EQ(drops[0].from, 100);
    // An indented header is a section as a save finds it.
    EXPECT_TRUE(history->hasRecordOn(S("b.com"), S("2010-5-4")));
    EXPECT_FALSE(history->hasRecordOn(S("c.com"), S("2010-5-4")));
    EXPECT_FALSE(history->lists(S("d.com")));
    EXPECT_FALSE(RunHistory::read(dir.path(), {S("a.com")}, today));
}

// Another writer saves while the saver's group waits for the lock: the group reads the file
// afresh once it has the lock, and both records stay.
TEST_F(GroupSaveTest, ARecordSavedByAnotherWriterBetweenTwoGroupsStays) {
    ASSERT_TRUE(writeFileAtomically(path, HandEdited));
    HistorySaver saver(path, nullptr, std::chrono::milliseconds(10));
    QList<bool> written;
    QObject::connect(
        &saver, &HistorySaver::groupDone,
        [&](const QStringList&, const FileError& problem) { written.append(!problem); });
    saver.save(S("a.com"), figures(S("first")), QDate(2010, 5, 2));
    saver.finish();

    QLockFile other(path + QStringLiteral(".lock"));
    ASSERT_TRUE(other.tryLock(0));
    saver.save(S("new.com"), figures(S("second")), QDate(2010, 5, 2));
    saver.flush();
    EXPECT_EQ(saver.rewrites(), 1) << "the group did not wait for the lock";
    const QByteArray before = fileBytes(path);
    ASSERT_TRUE(writeFileAtomically(
        path, savedHistoryBytes(before, S("other.com"),
                                HistoryRecord(S("2010-5-2"), figures(S("o"))), S("2010-5-2"))));
    other.unlock();
    saver.finish();

    EXPECT_EQ(written, (QList<bool>{true, true}));
    EXPECT_EQ(saver.rewrites(), 2);
    const QByteArray after = fileBytes(path);
    EXPECT_EQ(historyRecords(after, S("other.com")).size(), 1);
    EXPECT_EQ(historyRecords(after, S("new.com")).size(), 1);
    EXPECT_TRUE(historyRecords(after, S("a.com"))
                    .contains(HistoryRecord(S("2010-5-2"), figures(S("first")))));
}

}  // namespace
