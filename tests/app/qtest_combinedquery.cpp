// The whole combined query against the stand-in services: the window stream's batch and the
// engine stream's three batches, their order and overlap, the query's completion, and the quick
// links.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "chainwait.h"
#include "core/services.h"
#include "engines/countrows.h"
#include "engines/queryengine.h"
#include "net/fetch.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;

namespace {

using zorvan::S;

using F = Figure;

// What a domain shows with the sample pages of the combined query.
const QList<QPair<Figure, const char*>> samplePageValues = {
    {F::BaiduSnapshot, "2026-12-7"},
    {F::AlexaRank, "128456"},
    {F::PageRank, "4"},
    {F::SogouRank, "6"},
    {F::IndexedBaidu, "约12300"},
    {F::IndexedGoogle, "约 45600 "},
    {F::IndexedYahoo, "8901"},
    {F::IndexedSogou, "约 9870 条结果"},
    {F::IndexedSoso, "约2340"},
    {F::IndexedBing, " 23400 "},
    {F::IndexedYoudao, " 5432 "},
    {F::BacklinksBaidu, "约3450"},
    {F::BacklinksGoogle, "约 320 "},
    {F::BacklinksYahoo, "2345"},
    {F::BacklinksSogou, "约 1560 条结果"},
    {F::BacklinksSoso, "约5670"},
    {F::BacklinksBing, " 1020 "},
    {F::BacklinksYoudao, " 876 "},
};

struct Request {
    QString row;
    qint64 start;
    qint64 end;
};

// Which row asked for a target: role + prefix + domain identifies it uniquely.
QString rowOf(const standin::LogEntry& entry, const QString& domain) {
    for (const auto* batch :
         {&windowBatchRows(), &engineBatchRows(), &youdaoBatchRows(), &sogouYahooBatchRows()})
        for (const CountRow& r : *batch)
            if (r.role == entry.role && entry.target == (r.prefix + domain).toUtf8()) return r.id;
    if (entry.role == Role::PageRank) return QStringLiteral("PR");
    return QString();
}

}  // namespace

class CombinedQueryTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    // Counts the window's completions and checks, at the moment it unlocks the window, that every
    // counted batch's field has already arrived.
    int completions = 0;
    QStringList pendingAtCompletion;
    void watchCompletion() { window->queryButton()->installEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && watched == window->queryButton() &&
            window->queryButton()->isEnabled()) {
            ++completions;
            for (const FigureInfo& f : figureTable())
                if (f.figure != Figure::PageRank && window->figure(f.figure) == Pending)
                    pendingAtCompletion.append(f.key);
        }
        return QObject::eventFilter(watched, event);
    }

  private Q_SLOTS:
    void init() {
        prepare();
        loadSamplePages();
        open();
        window->autoSaveBox()->setChecked(false);
        completions = 0;
        pendingAtCompletion.clear();
        watchCompletion();
    }
    void cleanup() { close(); }

    void onePressFillsAllEighteenFields() {
        startQuery(S("sample.net"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(window->figure(Figure::PageRank), S("4"), 5000);
        for (const auto& [figure, text] : samplePageValues)
            QCOMPARE(window->figure(figure), S(text));
        QCOMPARE(completions, 1);
        QVERIFY(pendingAtCompletion.isEmpty());
        QVERIFY(window->query()->isComplete());
        QVERIFY(window->domainBox()->isEnabled());
        // The domain is selected for overtyping.
        QCOMPARE(window->domainBox()->lineEdit()->selectedText(), S("sample.net"));
    }

    void engineRowsRunInOrderOneAtATimeBesideTheWindowRows() {
        fx->services.setLatency(QString(), 20);
        startQuery(S("sample.net"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(window->figure(Figure::PageRank), S("4"), 5000);

        QList<Request> engineSide, windowSide;
        for (const auto& entry : fx->services.log()) {
            const QString row = rowOf(entry, S("sample.net"));
            QVERIFY2(!row.isEmpty(), entry.target.constData());
            (row.startsWith(u'W') || row == QStringLiteral("PR") ? windowSide : engineSide)
                .append({row, entry.startMs, entry.endMs});
        }
        auto rows = [](const QList<Request>& requests) {
            QStringList out;
            for (const Request& r : requests)
                if (out.isEmpty() || out.last() != r.row) out.append(r.row);
            return out;
        };
        QCOMPARE(rows(engineSide),
                 (QStringList{S("E1"), S("E2"), S("E3"), S("E4"), S("E5"), S("E6"), S("Y1"),
                              S("Y2"), S("S1"), S("S2"), S("S3")}));
        QCOMPARE(rows(windowSide),
                 (QStringList{S("W1"), S("W2"), S("W3"), S("W4"), S("W5"), S("W6"), S("PR")}));
        for (qsizetype i = 1; i < engineSide.size(); ++i)
            QVERIFY2(engineSide[i].start >= engineSide[i - 1].end, qPrintable(engineSide[i].row));
        bool overlap = false;
        for (const Request& w : engineSide)
            for (const Request& v : windowSide)
                overlap = overlap || (w.start < v.end && v.start < w.end);
        QVERIFY(overlap);
        // The Baidu indexed-pages row fell back to its second wording: its address twice as often.
        int e3 = 0, e1 = 0;
        for (const Request& r : engineSide) {
            e3 += r.row == QStringLiteral("E3");
            e1 += r.row == QStringLiteral("E1");
        }
        QCOMPARE(e1, 3);  // the page declares gb2312: three requests, no fallback
        QCOMPARE(e3, 2);  // no declaration: one request per wording
    }

    void completesOnceWhicheverSideFinishesLast_data() {
        QTest::addColumn<QString>("heldRole");
        QTest::newRow("window batch held") << Role::ChinaRank;
        QTest::newRow("engine stream held") << Role::Sogou;
        QTest::newRow("engine stream's first row held") << Role::Baidu;
    }
    void completesOnceWhicheverSideFinishesLast() {
        QFETCH(QString, heldRole);
        fx->services.setLatency(heldRole, 600);
        startQuery(S("sample.net"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(window->query()->isFinished(), 10000);
        QCOMPARE(completions, 1);
        QVERIFY2(pendingAtCompletion.isEmpty(), qPrintable(pendingAtCompletion.join(u',')));
        QVERIFY(window->query()->isComplete());
    }

    void everyServiceFailingStillCompletesWithX() {
        for (const QString& role : hostRoles())
            fx->services.setFailure(role, standin::Failure::ServerError);
        startQuery(S("sample.net"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 20000);
        // The PageRank lookup, which is not counted, says "X" like every other field.
        QTRY_VERIFY(window->query()->isFinished());
        for (const FigureInfo& f : figureTable()) QCOMPARE(window->figure(f.figure), S("X"));
        QCOMPARE(completions, 1);
    }

    void secondQueryCannotStartWhileOneRuns() {
        fx->services.setLatency(Role::Sogou, 500);
        startQuery(S("sample.net"));
        QVERIFY(!queryDone());
        QVERIFY(!window->domainBox()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 20000);
        startQuery(S("sample.net"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 20000);
        QCOMPARE(completions, 2);
    }

    void closingDuringAnEngineFetchDoesNotWaitForIt() {
        FetchOptions limits = defaultFetchOptions();
        limits.timeoutMs = 60000;
        setDefaultFetchOptions(limits);
        fx->services.setFailure(Role::Baidu, standin::Failure::NeverAnswer);
        startQuery(S("sample.net"));
        QTRY_VERIFY(!fx->services.log(Role::Baidu).empty());
        bool exited = false;
        connect(window.get(), &MainWindow::exitConfirmed, [&] { exited = true; });
        QVERIFY(window->close());
        QVERIFY(exited);
        QElapsedTimer timer;
        timer.start();
        window.reset();
        QVERIFY2(timer.elapsed() < 10000, "the window waited for the engine stream's fetch");
    }

    // A new press starts at once while the previous query still waits for its PageRank answer;
    // that late answer never reaches the new query's field.
    void aLatePageRankAnswerIsDropped() {
        const QString slowFrame = S("<iframe src=\"http://") + serviceHost(Role::KeywordRank) +
                                  S("/rank?site=http://x\">");
        fx->services.setRoute(Role::PageRank, "/?PRAddress=a.net", slowFrame);
        fx->services.setRoute(Role::KeywordRank, "/rank?site=http://a.net/", S("Rank_1:1:1"));
        fx->services.setRoute(
            Role::PageRank, "/?PRAddress=b.net",
            S("<iframe src=\"http://") + serviceHost(Role::PageRank) + S("/rank?site=http://x\">"));
        fx->services.setRoute(Role::PageRank, "/rank?site=http://b.net/", S("Rank_1:1:2"));
        fx->services.setLatency(Role::KeywordRank, 1000);

        startQuery(S("a.net"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 15000);
        QTRY_VERIFY(!fx->services.log(Role::KeywordRank).empty());
        const QPointer<const CombinedQueryEngine> first = window->query();
        startQuery(S("b.net"));
        QVERIFY(window->query() != first);
        QVERIFY(!queryDone());
        QTRY_VERIFY_WITH_TIMEOUT(queryDone() && window->query()->isFinished(), 15000);
        QCOMPARE(window->figure(Figure::PageRank), S("2"));
        // Once a.net's answer has been sent, anything still listening for it would have it before
        // the answer to a request sent after it.
        QTRY_VERIFY_WITH_TIMEOUT(fx->services.log(Role::KeywordRank).front().endMs >= 0, 5000);
        fx->services.setLatency(Role::KeywordRank, 0);
        test::awaitFetch(fx->base(Role::KeywordRank) + S("/after"));
        QCoreApplication::processEvents();
        QCOMPARE(window->figure(Figure::PageRank), S("2"));
    }

    void fieldsLinkToTheirPages() {
        window->domainBox()->setEditText(S("sample.net"));
        // Only a left click opens: not another button, nor a press dragged off to another field.
        QTest::mouseClick(window->figureField(Figure::BacklinksYoudao), Qt::RightButton);
        QTest::mousePress(window->figureField(Figure::IndexedBaidu), Qt::LeftButton);
        QTest::mouseRelease(window->figureField(Figure::BacklinksBaidu), Qt::LeftButton);
        QVERIFY(fake->opened.isEmpty());
        QTest::mouseClick(window->figureField(Figure::BacklinksYoudao), Qt::LeftButton);
        QTest::mouseClick(window->figureField(Figure::PageRank), Qt::LeftButton);
        QTest::mouseClick(window->figureField(Figure::AlexaRank), Qt::LeftButton);
        const QStringList opened = fake->openedAddresses();
        QCOMPARE(opened,
                 (QStringList{serviceBase(Role::Youdao) + S("/search?q=inlink%3Asample.net"),
                              serviceBase(Role::Alexa) + S("/siteinfo/sample.net")}));
        int links = 0;
        for (const FigureInfo& f : figureTable()) {
            fake->opened.clear();
            QTest::mouseClick(window->figureField(f.figure), Qt::LeftButton);
            links += int(fake->opened.size());
        }
        QCOMPARE(links, 17);
        QVERIFY(fx->services.log().empty());
    }
};

QTEST_MAIN(CombinedQueryTest)
#include "qtest_combinedquery.moc"
