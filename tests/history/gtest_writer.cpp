#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include "core/localfile.h"
#include "core/services.h"
#include "fakeplatform.h"
#include "history/historyfile.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::fromGbk;
using test::toGbk;

namespace {

using zorvan::S;

// The figures of one finished query: each value names its figure, after the seed.
struct Figures {
    FigureValues fields;
    explicit Figures(const QString& seed) {
        const char* const engines[EngineCount] = {"bd", "gg", "yh", "sg", "ss", "by", "yd"};
        for (const EngineInfo& e : engineTable()) {
            const QLatin1String code(engines[int(e.engine)]);
            fields[indexedFigure(e.engine)] = seed + code + u's';
            fields[backlinksFigure(e.engine)] = seed + code + u'f';
        }
        fields[Figure::AlexaRank] = seed + QStringLiteral("alexa");
        // Figures the history does not store.
        fields[Figure::PageRank] = QStringLiteral("PR");
        fields[Figure::BaiduSnapshot] = QStringLiteral("SNAP");
    }
    const FigureValues& values() const { return fields; }
    QString record(const QString& date) const { return HistoryRecord(date, values()); }
};

class WriterTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("history.txt"));

    void put(const QString& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(toGbk(text));
    }
    QByteArray bytes() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    QString text() const { return fromGbk(bytes()); }
    bool save(const QString& domain, const Figures& figures, const QString& day) {
        return !SaveHistory(path, domain, figures.values(), day);
    }
};

const QString day1 = QStringLiteral("2010-5-12");
const QString day2 = QStringLiteral("2010-5-13");

TEST(HistoryRecordTest, FieldsInRecordOrderWithSeparators) {
    const Figures f(QStringLiteral("v"));
    EXPECT_EQ(
        f.record(day1),
        QStringLiteral("2010-5-12=vbds/vbdf|vggs/vggf|vyhs/vyhf|vsgs/vsgf|vsss/vssf|vbys/vbyf|"
                       "vyds/vydf|valexa"));
}

TEST(HistoryRecordTest, BreaksAndSeparatorsInValuesKeepOneLineAndTheCells) {
    Figures f(QStringLiteral("v"));
    f.fields[Figure::IndexedBaidu] = QStringLiteral("1|2");
    f.fields[Figure::BacklinksGoogle] = QStringLiteral("a=b");
    f.fields[Figure::IndexedYoudao] = QStringLiteral("x\r\ny\nz");
    f.fields[Figure::AlexaRank] = QStringLiteral("[d]|=");
    const QString record = f.record(day1);
    EXPECT_FALSE(record.contains(u'\r') || record.contains(u'\n'));
    EXPECT_EQ(record.count(u'='), 1);
    EXPECT_EQ(record.count(u'|'), 7);
    const QStringList cells = recordCells(record);
    ASSERT_EQ(cells.size(), 9);
    EXPECT_EQ(cells[0], day1);
    EXPECT_EQ(cells[1], S("1｜2/vbdf"));
    EXPECT_EQ(cells[2], S("vggs/a＝b"));
    EXPECT_EQ(cells[7], S("x  y z/vydf"));
    EXPECT_EQ(cells[8], S("[d]｜＝"));
}

TEST(HistoryRecordTest, CellsOfShortAndOddRecords) {
    EXPECT_EQ(recordCells(QStringLiteral("d=a|b")), (QStringList{QStringLiteral("d"),
                                                                 QStringLiteral("a"),
                                                                 QStringLiteral("b"),
                                                                 {},
                                                                 {},
                                                                 {},
                                                                 {},
                                                                 {},
                                                                 {}}));
    // Only the text between the first and second "=" is split.
    EXPECT_EQ(recordCells(QStringLiteral("d=1|2|3|4|5|6|7|8|9=x")).mid(1),
              QStringLiteral("1|2|3|4|5|6|7|8").split(u'|'));
    EXPECT_EQ(recordCells(QStringLiteral("no separator")).first(), QStringLiteral("no separator"));
}

TEST(CollapseBlankLinesTest, RunsOfCrLfBecomeOneAndLoneBreaksStay) {
    EXPECT_EQ(CollapseBlankLines(QString()), QString());
    EXPECT_EQ(CollapseBlankLines(QStringLiteral("a\r\n\r\n\r\n\r\n\r\nb\r\n\r\n")),
              QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(CollapseBlankLines(QStringLiteral("a\n\n\r\r\n\nb\r\n\rc")),
              QStringLiteral("a\n\n\r\r\n\nb\r\n\rc"));
    EXPECT_EQ(CollapseBlankLines(QStringLiteral("\r\n\r\n")), QStringLiteral("\r\n"));
}

TEST_F(WriterTest, NoFileGivesHeaderRecordAndOneLineBreak) {
    ASSERT_TRUE(save(QStringLiteral("d.com"), Figures(QStringLiteral("a")), day1));
    EXPECT_EQ(bytes(), toGbk(QStringLiteral("[d.com]\r\n") +
                             Figures(QStringLiteral("a")).record(day1) + crlf));
}

TEST_F(WriterTest, SectionsAppendReplaceAndGrowInPlace) {
    const Figures a(QStringLiteral("a")), b(QStringLiteral("b")), c(QStringLiteral("c"));
    const QString d = QStringLiteral("[d.com]\r\n"), e = QStringLiteral("[e.com]\r\n");
    save(QStringLiteral("d.com"), a, day1);
    save(QStringLiteral("e.com"), b, day1);
    EXPECT_EQ(text(), d + a.record(day1) + crlf + e + b.record(day1) + crlf);

    // Same day again: the day's record is replaced where it stands; the count stays two.
    save(QStringLiteral("d.com"), c, day1);
    EXPECT_EQ(text(), d + c.record(day1) + crlf + e + b.record(day1) + crlf + crlf);
    EXPECT_EQ(historyRecords(bytes(), QStringLiteral("d.com")).size(), 1);

    // A later day goes to the end of d's section, before e's header.
    save(QStringLiteral("d.com"), a, day2);
    EXPECT_EQ(text(),
              d + c.record(day1) + crlf + a.record(day2) + crlf + e + b.record(day1) + crlf + crlf);
    save(QStringLiteral("e.com"), c, day2);
    EXPECT_EQ(text(), d + c.record(day1) + crlf + a.record(day2) + crlf + e + b.record(day1) +
                          crlf + c.record(day2) + crlf + crlf);
}

TEST_F(WriterTest, StoredRecordsAreAddedOnceAndADifferentOneReplacesItsDay) {
    const Figures a(QStringLiteral("a")), b(QStringLiteral("b"));
    const QString d = QStringLiteral("d.com"), e = QStringLiteral("e.com");
    save(d, a, day1);
    const QList<DatedRecord> records = {
        {d, day1, a.values()}, {e, day1, b.values()}, {d, day2, b.values()}};
    QList<RecordFate> fates;
    ASSERT_FALSE(saveHistoryRecordsTo(path, records, &fates));
    EXPECT_EQ(fates, (QList<RecordFate>{RecordFate::Same, RecordFate::Added, RecordFate::Added}));
    // The bytes one save after another would have written.
    QTemporaryDir other;
    const QString one = other.filePath(QStringLiteral("one.txt"));
    ASSERT_FALSE(SaveHistory(one, d, a.values(), day1));
    for (const DatedRecord& r : records) ASSERT_FALSE(SaveHistory(one, r.domain, r.values, r.date));
    QFile oneFile(one);
    ASSERT_TRUE(oneFile.open(QIODevice::ReadOnly));
    const QByteArray stored = bytes();
    EXPECT_EQ(stored, oneFile.readAll());

    // Again: nothing changes, not even the file's last blank line.
    EXPECT_TRUE(historyBytesWithRecords(stored, records, &fates).isNull());
    ASSERT_FALSE(saveHistoryRecordsTo(path, records, &fates));
    EXPECT_EQ(bytes(), stored);
    EXPECT_EQ(fates, (QList<RecordFate>{RecordFate::Same, RecordFate::Same, RecordFate::Same}));

    ASSERT_FALSE(saveHistoryRecordsTo(path, {{d, day1, b.values()}}, &fates));
    EXPECT_EQ(fates, QList<RecordFate>{RecordFate::Replaced});
    EXPECT_EQ(historyRecords(bytes(), d), (QStringList{b.record(day1), b.record(day2)}));
}

TEST_F(WriterTest, IdenticalRecordsOfTwoDomainsOnlyTheSavedOneChanges) {
    const Figures a(QStringLiteral("a")), b(QStringLiteral("b"));
    save(QStringLiteral("d.com"), a, day1);
    save(QStringLiteral("e.com"), a, day1);
    save(QStringLiteral("e.com"), b, day1);
    EXPECT_EQ(text(), QStringLiteral("[d.com]\r\n") + a.record(day1) + crlf +
                          QStringLiteral("[e.com]\r\n") + b.record(day1) + crlf + crlf);
}

TEST_F(WriterTest, CaseDifferentDomainsAreSeparateSections) {
    const Figures a(QStringLiteral("a")), b(QStringLiteral("b"));
    save(QStringLiteral("Example.com"), a, day1);
    save(QStringLiteral("example.com"), b, day1);
    EXPECT_EQ(historyDomains(bytes()),
              (QStringList{QStringLiteral("Example.com"), QStringLiteral("example.com")}));
    EXPECT_EQ(historyRecords(bytes(), QStringLiteral("Example.com")), QStringList{a.record(day1)});
    EXPECT_EQ(historyRecords(bytes(), QStringLiteral("example.com")), QStringList{b.record(day1)});
}

TEST_F(WriterTest, HandMadeBlankLinesCollapseAndFrontTextStays) {
    put(QStringLiteral("note\r\n\r\n[d.com]\r\n\r\nr1\r\n\r\n\r\n[e.com]\r\nr2\r\n\r\n\r\n"));
    const Figures a(QStringLiteral("a"));
    save(QStringLiteral("f.com"), a, day1);
    EXPECT_EQ(text(), QStringLiteral("note\r\n[d.com]\r\nr1\r\n[e.com]\r\nr2\r\n[f.com]\r\n") +
                          a.record(day1) + crlf);
}

TEST_F(WriterTest, EmptyHeaderReceivesItsFirstRecord) {
    const Figures a(QStringLiteral("a"));
    put(QStringLiteral("[d.com]\r\n[e.com]\r\nr2\r\n"));
    save(QStringLiteral("d.com"), a, day1);
    EXPECT_EQ(text(), QStringLiteral("[d.com]\r\n") + a.record(day1) +
                          QStringLiteral("\r\n[e.com]\r\nr2\r\n\r\n"));
    // A header that is the file's last text, with no line break.
    put(QStringLiteral("[e.com]\r\nr2\r\n[d.com]"));
    save(QStringLiteral("d.com"), a, day1);
    EXPECT_EQ(text(), QStringLiteral("[e.com]\r\nr2\r\n[d.com]\r\n") + a.record(day1) + crlf);
}

TEST_F(WriterTest, BlanksAroundAHandEditedHeaderStillFindIt) {
    const Figures a(QStringLiteral("a"));
    put(QStringLiteral("  [d.com] \r\nr1\r\n[e.com]\r\nr2\r\n"));
    save(QStringLiteral("d.com"), a, day1);
    EXPECT_EQ(text(), QStringLiteral("  [d.com] \r\nr1\r\n") + a.record(day1) +
                          QStringLiteral("\r\n[e.com]\r\nr2\r\n\r\n"));
    EXPECT_EQ(historyRecords(bytes(), QStringLiteral("d.com")),
              (QStringList{QStringLiteral("r1"), a.record(day1)}));
}

TEST_F(WriterTest, SpacesOnlyFileIsEmpty) {
    put(QStringLiteral("   "));
    const Figures a(QStringLiteral("a"));
    save(QStringLiteral("d.com"), a, day1);
    EXPECT_EQ(text(), QStringLiteral("[d.com]\r\n") + a.record(day1) + crlf);
}

TEST_F(WriterTest, HeaderTextInsideARecordIsNotAHeader) {
    // e's record mentions "[d.com]"; a substring search would put d's figures into e's section.
    const QString old = QStringLiteral("[e.com]\r\n2010-5-1=[d.com]|x\r\n");
    put(old);
    const Figures a(QStringLiteral("a"));
    save(QStringLiteral("d.com"), a, day1);
    EXPECT_EQ(text(), old + QStringLiteral("[d.com]\r\n") + a.record(day1) + crlf);
    // A domain that is the end of another one's text is not that one's section either.
    save(QStringLiteral("com"), a, day1);
    EXPECT_EQ(historyDomains(bytes()).last(), QStringLiteral("com"));
    EXPECT_EQ(historyRecords(bytes(), QStringLiteral("e.com")),
              QStringList{QStringLiteral("2010-5-1=[d.com]|x")});
}

TEST_F(WriterTest, DomainsHoldingABracketKeepSectionsOfTheirOwn) {
    // "[d.com]" starts the header of "d.com]x" too: only a whole header line is d.com's.
    const Figures a(QStringLiteral("a")), b(QStringLiteral("b"));
    save(QStringLiteral("d.com]x"), a, day1);
    save(QStringLiteral("d.com"), b, day1);
    EXPECT_EQ(historyDomains(bytes()),
              (QStringList{QStringLiteral("d.com]x"), QStringLiteral("d.com")}));
    EXPECT_EQ(historyRecords(bytes(), QStringLiteral("d.com]x")), QStringList{a.record(day1)});
    EXPECT_EQ(historyRecords(bytes(), QStringLiteral("d.com")), QStringList{b.record(day1)});
    ASSERT_FALSE(DeleteDomainHistory(path, QStringLiteral("d.com]x")).has_value());
    EXPECT_EQ(text(), QString(QStringLiteral("[d.com]\r\n") + b.record(day1) + crlf + crlf));
}

TEST_F(WriterTest, GbkOnlyCharactersSurviveWriteAndRead) {
    Figures a(QStringLiteral("a"));
    a.fields[Figure::IndexedBaidu] = S("丂約");
    save(S("丂.中国"), a, day1);
    const QByteArray raw = bytes();
    EXPECT_TRUE(raw.startsWith(QByteArray("[\x81\x40.\xD6\xD0\xB9\xFA]\r\n")));
    EXPECT_TRUE(raw.contains(QByteArray("=\x81\x40")));
    EXPECT_EQ(historyDomains(raw), QStringList{S("丂.中国")});
    EXPECT_EQ(recordCells(historyRecords(raw, S("丂.中国")).value(0)).value(1), S("丂約/abdf"));
    // Saved again on the same day: found again through the code page, not appended twice.
    save(S("丂.中国"), a, day1);
    EXPECT_EQ(historyDomains(bytes()).size(), 1);
}

TEST_F(WriterTest, BracketBytesInsideCharactersAndUndecodableBytesSurvive) {
    // 乚 and 乕: their second bytes are "]" and "[" (0x81 0x5D, 0x81 0x5B).
    const QString domain = fromGbk(QByteArray("\x81\x5D\x81\x5B.cn"));
    ASSERT_EQ(domain.size(), 5);
    // Another section holds bytes the code page cannot decode (a lead byte before a blank).
    const QByteArray other("[e.com]\r\n2010-5-1=\x81 broken\r\n");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(other);
    }
    const Figures a(QStringLiteral("a"));
    save(domain, a, day1);
    save(domain, a, day2);
    EXPECT_TRUE(bytes().startsWith(other));
    EXPECT_EQ(historyDomains(bytes()), (QStringList{QStringLiteral("e.com"), domain}));
    EXPECT_EQ(historyRecords(bytes(), domain), (QStringList{a.record(day1), a.record(day2)}));
    ASSERT_FALSE(DeleteDomainHistory(path, domain).has_value());
    EXPECT_EQ(bytes(), other + "\r\n");
}

TEST_F(WriterTest, DomainsTheCodePageCannotHoldKeepRecordsOfTheirOwn) {
    // The first four would all be "??.kr" in code page 936; the middle two are no valid IDN.
    const QStringList domains = {S("한국.kr"), S("뉴스.kr"), S("한국.kr/"), S("뉴스.kr/"),
                                 S("中文.cn")};
    for (int i = 0; i < domains.size(); ++i) save(domains[i], Figures(QString::number(i)), day1);
    const QByteArray raw = bytes();
    EXPECT_TRUE(raw.startsWith("[xn--3e0b707e.kr]\r\n"));
    EXPECT_TRUE(raw.contains(QByteArray("\r\n[\xD6\xD0\xCE\xC4.cn]\r\n")));  // GBK bytes, as before
    EXPECT_EQ(historyDomains(raw), domains);
    for (int i = 0; i < domains.size(); ++i)
        EXPECT_EQ(historyRecords(raw, domains[i]),
                  QStringList{Figures(QString::number(i)).record(day1)})
            << i;
    ASSERT_FALSE(DeleteDomainHistory(path, domains[0]).has_value());
    EXPECT_EQ(historyDomains(bytes()), domains.mid(1));
}

// A power cut between the making of a lock file and its first write leaves it empty; another
// host's lock names no process here: no process holds either. A folder is no lock at all.
TEST_F(WriterTest, LockFilesNoProcessHoldsAreTakenOverAndAFolderIsNamed) {
    QFile lock(path + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime);
    lock.close();
    ASSERT_TRUE(save(QStringLiteral("d.com"), Figures(QStringLiteral("a")), day1));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly) &&
                lock.write("4242\nzorvan-cli\nanother-host.example\n") > 0);
    lock.close();
    ASSERT_TRUE(save(QStringLiteral("e.com"), Figures(QStringLiteral("b")), day1));

    ASSERT_TRUE(QDir().mkpath(lock.fileName()));
    const FileError error =
        SaveHistory(path, QStringLiteral("f.com"), Figures(QStringLiteral("c")).values(), day1);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->chinese().contains(lock.fileName()) && error->chinese().contains(S("删除")));
    EXPECT_TRUE(error->english().contains(lock.fileName()) &&
                error->english().contains(S("remove")));
    EXPECT_EQ(historyDomains(bytes()).size(), 2);
}

TEST_F(WriterTest, UnreadableFileIsNeverRewritten) {
    ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/inside")));
    EXPECT_FALSE(save(QStringLiteral("d.com"), Figures(QStringLiteral("a")), day1));
    EXPECT_TRUE(DeleteDomainHistory(path, QStringLiteral("d.com")).has_value());
    EXPECT_TRUE(QFileInfo(path + QStringLiteral("/inside")).isDir());
    QByteArray bytesRead;
    EXPECT_EQ(readWholeFile(path, &bytesRead), FileRead::Unreadable);
    EXPECT_EQ(readWholeFile(dir.filePath(QStringLiteral("none.txt")), &bytesRead),
              FileRead::Missing);
}

// Takes part of the first write, then refuses every other, as a disk that fills up does.
class ShortWriteFile : public QSaveFile {
  public:
    using QSaveFile::QSaveFile;

  protected:
    qint64 writeData(const char* data, qint64 len) override {
        if (full_) return -1;
        full_ = true;
        return QSaveFile::writeData(data, len > 8 ? len / 2 : len);
    }

  private:
    bool full_ = false;
};

TEST_F(WriterTest, ShortWriteLeavesTheOldFileWhole) {
    const QString old = QStringLiteral("[d.com]\r\nr1\r\n");
    put(old);
    ShortWriteFile file(path);
    EXPECT_FALSE(
        writeAtomically(file, toGbk(QStringLiteral("[d.com]\r\nr1\r\nr2 with more bytes\r\n"))));
    EXPECT_EQ(text(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("history.txt")});
}

TEST_F(WriterTest, FileSizeLimitDuringWriteFailsTheSaveAndLeavesTheOldFileWhole) {
    const QString old = QStringLiteral("[d.com]\r\nr1\r\n");
    put(old);
    // In a child set up as every program sets itself up: the kernel refuses bytes past the limit,
    // as a full disk does after a partial write, and the save must say so rather than die.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        prepareFileWrites();
        rlimit limited{};
        getrlimit(RLIMIT_FSIZE, &limited);
        limited.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &limited);
        const FileError error =
            SaveHistory(path, QStringLiteral("d.com"), Figures(QString(200, u'x')).values(), day1);
        _exit(error ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
    EXPECT_EQ(text(), old);
}

TEST(SaveHistoryTest, WritesIntoTheDataDirectoryDatedByTheClock) {
    QTemporaryDir home;
    qputenv("ZORVAN_HOME", home.path().toLocal8Bit());
    reloadDataDirectory();
    test::FakePlatform platform;
    platform.clock = QDateTime(QDate(2011, 2, 3), QTime(23, 59, 59));
    const Figures a(QStringLiteral("a"));
    EXPECT_FALSE(SaveHistory(QStringLiteral("d.com"), a.values()).has_value());
    QFile f(home.filePath(QStringLiteral("history.txt")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              toGbk(QStringLiteral("[d.com]\r\n") + a.record(QStringLiteral("2011-2-3")) + crlf));
    qunsetenv("ZORVAN_HOME");
    reloadDataDirectory();
}

}  // namespace
