// Batch mode of the main window: a run over the saved list against the stand-in services, the
// browsing arrows, and the list editor opened from "添加地址".
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/mainwindow.h"
#include "core/localfile.h"
#include "core/services.h"
#include "domains/domainlist.h"
#include "domains/gui/listeditor.h"
#include "engines/batchrun.h"
#include "engines/countrows.h"
#include "engines/queryengine.h"
#include "robotreceiver.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;

namespace {

using zorvan::S;

QList<CountRow> allRows() {
    return windowBatchRows() + engineBatchRows() + youdaoBatchRows() + sogouYahooBatchRows();
}

// What a domain's page holds for a figure: distinct for every domain and figure.
QString pageFigure(int domain, Figure figure) {
    return QString::number((domain + 1) * 1000 + int(figure));
}

}  // namespace

class BatchTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    QStringList domains;

    QToolButton* previous() const { return window->previousArrow(); }
    QToolButton* next() const { return window->nextArrow(); }
    bool shown(QWidget* w) const { return w->isVisibleTo(window.get()); }

    // Every page of every row, and the PageRank pair, answer with the domain's own figures.
    void serveDomains(const QStringList& list) {
        domains = list;
        for (int d = 0; d < list.size(); ++d) {
            for (const CountRow& row : allRows()) {
                // Undeclared code page 936, so each value is one request; a row without an end
                // marker takes the rest of the page.
                const QString page = S("<html>") + row.start + pageFigure(d, row.figure) + row.end;
                fx->services.setRoute(row.role, (row.prefix + list[d]).toUtf8(),
                                      standin::Page{test::toGbk(page), 200});
            }
            const QString frame =
                S("<iframe src=\"") + fx->base(Role::PageRank) + S("/rank?site=http://x\">");
            fx->services.setRoute(Role::PageRank, (S("/?PRAddress=") + list[d]).toUtf8(), frame);
            fx->services.setRoute(Role::PageRank,
                                  (S("/rank?site=http://") + list[d] + S("/")).toUtf8(),
                                  S("Rank_1:1:") + pageFigure(d, Figure::PageRank));
        }
    }

    void saveList(const QStringList& list) {
        QVERIFY(writeDomainListValue(configFilePath(), list.join(QLatin1Char(','))));
    }

    void openWindow() { open(); }

    QStringList shownFields() const {
        QStringList texts;
        for (const FigureInfo& f : figureTable()) texts.append(window->figure(f.figure));
        return texts;
    }

    // The eighteen values of a domain.
    void verifyFigures(const QStringList& texts, int d) {
        QCOMPARE(texts.size(), 18);
        for (int k = 0; k < 18; ++k) {
            if (Figure(k) == Figure::PageRank) {
                // The PageRank lookup is not counted: the run may store the record before it
                // answers. An answer of another domain never lands there.
                QVERIFY2(texts[k] == Pending || texts[k] == pageFigure(d, Figure::PageRank),
                         qPrintable(texts[k]));
                continue;
            }
            QCOMPARE(texts[k], pageFigure(d, Figure(k)));
        }
    }

    // Waits until the run's last query has had its PageRank answer.
    void settle() {
        QVERIFY(test::waitFor([&] { return window->query()->isFinished(); }));
    }

    // The entry's stored record is what the fields show; only the entry's own PageRank answer may
    // have come after its record was stored.
    void verifyEntryShown(int index) {
        QCOMPARE(window->domainBox()->currentIndex(), index);
        QCOMPARE(window->domain(), domains[index]);
        const QStringList stored = window->batchRun().record(index).split(QLatin1Char(','));
        verifyFigures(stored, index);
        QStringList shown = shownFields();
        const int rank = int(Figure::PageRank);
        if (stored[rank] == Pending && shown[rank] == pageFigure(index, Figure::PageRank))
            shown[rank] = Pending;
        QCOMPARE(shown, stored);
    }

    void runBatch() {
        QVERIFY(window->batchBox()->isChecked());
        QTest::mouseClick(window->queryButton(), Qt::LeftButton);
        QVERIFY(test::waitFor(
            [this] { return !window->batchRun().isActive() && window->queryButton()->isEnabled(); },
            30000));
    }

    // Drives the modal list editor that "添加地址" opens.
    void editList(const QString& text) {
        bool driven = false;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(test::waitFor([&] { return window->findChild<ListEditor*>() != nullptr; }));
            auto* editor = window->findChild<ListEditor*>();
            QVERIFY(editor->isModal() && editor->isVisible());
            editor->textBox()->setPlainText(text);
            QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
            driven = true;
        });
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command4")),
                          Qt::LeftButton);
        QVERIFY(driven);
        QVERIFY(window->findChild<ListEditor*>() == nullptr ||
                !window->findChild<ListEditor*>()->isVisible());
    }

  private Q_SLOTS:
    void init() { prepare(3000); }
    void cleanup() { close(); }

    void startUpLoadsTheSavedListWithEntryZeroSelected() {
        saveList({S("alpha.test"), S("中文.test"), QString()});
        openWindow();
        QCOMPARE(window->domainBox()->count(), 3);
        QCOMPARE(window->domainBox()->itemText(1), S("中文.test"));
        QCOMPARE(window->domainBox()->itemText(2), QString());
        QCOMPARE(window->domainBox()->currentIndex(), 0);
        QCOMPARE(window->domain(), S("alpha.test"));
    }

    void emptyOrMissingListSelectsNothing() {
        openWindow();
        QCOMPARE(window->domainBox()->count(), 0);
        QCOMPARE(window->domainBox()->currentIndex(), -1);
        window.reset();
        saveList({});
        openWindow();
        QCOMPARE(window->domainBox()->count(), 0);
        QCOMPARE(window->domainBox()->currentIndex(), -1);
    }

    void tickingBatchModeLocksTheBoxAndReloadsTheList() {
        saveList({S("alpha.test"), S("beta.test")});
        openWindow();
        window->domainBox()->setEditText(S("typed.test"));
        saveList({S("beta.test"), S("gamma.test"), S("alpha.test")});  // changed behind the window
        window->batchBox()->setChecked(true);
        QVERIFY(!window->domainBox()->isEnabled());
        QCOMPARE(window->domainBox()->count(), 3);
        QCOMPARE(window->domain(), S("beta.test"));
        QVERIFY(!shown(previous()));
        QVERIFY(shown(next()));

        // Nothing stored yet: browsing keeps the fields as they are.
        window->setFigure(Figure::IndexedBaidu, S("kept"));
        QTest::mouseClick(next(), Qt::LeftButton);
        QCOMPARE(window->domain(), S("gamma.test"));
        QVERIFY(shown(previous()) && shown(next()));
        QTest::mouseClick(next(), Qt::LeftButton);
        QCOMPARE(window->domain(), S("alpha.test"));
        QVERIFY(shown(previous()) && !shown(next()));
        QCOMPARE(window->figure(Figure::IndexedBaidu), S("kept"));

        window->batchBox()->setChecked(false);
        QVERIFY(window->domainBox()->isEnabled());
        QVERIFY(!shown(previous()) && !shown(next()));
        QCOMPARE(window->domainBox()->currentIndex(), 0);
        QCOMPARE(window->domain(), S("beta.test"));
    }

    void tickingDuringAnUnfinishedRunOffersNextOnlyWithEntriesBehind() {
        saveList({S("solo.test")});
        openWindow();
        // A query outside batch mode leaves a run active, as one left unfinished would.
        QVERIFY(query(S("solo.test")));
        QVERIFY(window->batchRun().isActive());
        window->batchBox()->setChecked(true);
        QVERIFY(!shown(previous()) && !shown(next()));
        window->batchBox()->setChecked(false);
        saveList({S("alpha.test"), S("beta.test")});
        window->batchBox()->setChecked(true);
        QVERIFY(!shown(previous()) && shown(next()));
    }

    void batchRunWalksTheListAndArrowsBrowseTheRecords() {
        saveList({S("alpha.test"), S("beta.test"), S("gamma.test")});
        serveDomains({S("alpha.test"), S("beta.test"), S("gamma.test")});
        openWindow();
        QVERIFY(window->autoSaveBox()->isChecked());
        window->batchBox()->setChecked(true);
        QVERIFY(shown(next()));

        // The window as each step of the run leaves it: a domain started, a domain done.
        int steps = 0;
        bool nextShownDuringRun = false, boxEnabledDuringRun = false;
        const auto watch = [&] {
            ++steps;
            nextShownDuringRun |= shown(next());
            boxEnabledDuringRun |= window->domainBox()->isEnabled();
        };
        connect(&window->batchRun(), &BatchRun::domainStarted, this, watch);
        connect(&window->batchRun(), &BatchRun::domainDone, this, watch);
        runBatch();
        QCOMPARE(steps, 5);  // three done, and the two started after the first
        QVERIFY(!nextShownDuringRun);
        QVERIFY(!boxEnabledDuringRun);

        // Queried in list order, each once.
        const QList<QByteArray> overview = fx->services.targets(Role::ChinaRank);
        QCOMPARE(overview, (QList<QByteArray>{"/overview/Info.do?url=alpha.test",
                                              "/overview/Info.do?url=beta.test",
                                              "/overview/Info.do?url=gamma.test"}));
        QCOMPARE(fx->services.targets(Role::Youdao).size(), 6);

        QVERIFY(window->batchRun().records().size() >= 3);
        for (int d = 0; d < 3; ++d)
            verifyFigures(window->batchRun().record(d).split(QLatin1Char(',')), d);

        // The run ends on entry 0 with its record shown.
        settle();
        verifyEntryShown(0);
        QVERIFY(!shown(previous()));
        QVERIFY(shown(next()));
        QVERIFY(!window->domainBox()->isEnabled());

        QTest::mouseClick(next(), Qt::LeftButton);
        verifyEntryShown(1);
        QVERIFY(shown(previous()) && shown(next()));
        QTest::mouseClick(next(), Qt::LeftButton);
        verifyEntryShown(2);
        QVERIFY(shown(previous()) && !shown(next()));
        QTest::mouseClick(previous(), Qt::LeftButton);
        verifyEntryShown(1);
        QTest::mouseClick(previous(), Qt::LeftButton);
        verifyEntryShown(0);
        QVERIFY(!window->domainBox()->isEnabled());

        // Auto-save gave every domain its own history line.
        const auto saved = [&] {
            QFile history(historyFilePath());
            const QString text =
                history.open(QIODevice::ReadOnly) ? test::fromGbk(history.readAll()) : QString();
            return std::all_of(domains.cbegin(), domains.cend(), [&](const QString& d) {
                return text.contains(S("[") + d + S("]"));
            });
        };
        QTRY_VERIFY(saved());
    }

    void batchModeWaitsOutAServiceThatAsksAndArrowsShowTheFiguresGot() {
        saveList({S("alpha.test"), S("beta.test")});
        serveDomains({S("alpha.test"), S("beta.test")});
        fx->services.queueAnswers(Role::Youdao, {standin::Page{"busy", 429, {}, "1"}});
        fx->services.queueAnswers(Role::ChinaRank,
                                  {standin::Page{test::toGbk(S("请输入验证码")), 200}});
        openWindow();
        window->batchBox()->setChecked(true);
        QStringList waits;
        connect(&window->batchRun(), &BatchRun::waiting, this,
                [&](const QString&, double, const QString& reason) { waits << reason; });
        runBatch();
        settle();
        waits.sort();  // two streams: either may wait first
        QCOMPARE(waits, (QStringList{S("HTTP 429 Retry-After"), S("verification page")}));
        verifyEntryShown(0);
        QTest::mouseClick(next(), Qt::LeftButton);
        verifyEntryShown(1);
    }

    void oneEntryListIsQueriedOnce() {
        saveList({S("solo.test")});
        serveDomains({S("solo.test")});
        openWindow();
        window->batchBox()->setChecked(true);
        QVERIFY(!shown(previous()));
        QVERIFY(shown(next()));  // the first entry offers "next" even with nothing behind it
        runBatch();
        settle();
        verifyEntryShown(0);
        QCOMPARE(fx->services.targets(Role::ChinaRank).size(), 1);
        const QStringList before = shownFields();
        QTest::mouseClick(next(), Qt::LeftButton);  // nothing behind it: nothing changes
        QCOMPARE(window->domainBox()->currentIndex(), 0);
        QCOMPARE(shownFields(), before);
    }

    void demoListRunsOverTheSamplePages() {
        QVERIFY(fx->services.loadRoutes(test::samplePagesFolder()) > 0);
        saveList({S("example.com"), S("zorvan.cn"), S("demo.org")});
        openWindow();
        window->batchBox()->setChecked(true);
        runBatch();
        // Alexa rank, Baidu indexed pages and Bing indexed pages of each sample domain.
        const QList<QStringList> expected = {{S("128456"), S("约123456"), S(" 23400 ")},
                                             {S("45210"), S("约8760"), S(" 9870 ")},
                                             {S("1902337"), S("约312"), S(" 287 ")}};
        for (int d = 0; d < 3; ++d) {
            QCOMPARE(window->domainBox()->currentIndex(), d);
            QCOMPARE(window->figure(Figure::AlexaRank), expected[d][0]);
            QCOMPARE(window->figure(Figure::IndexedBaidu), expected[d][1]);
            QCOMPARE(window->figure(Figure::IndexedBing), expected[d][2]);
            QTest::mouseClick(next(), Qt::LeftButton);
        }
    }

    void editorSaveInBatchModeRebuildsTheListAndDropsRecordsOfAnotherList() {
        saveList({S("alpha.test"), S("beta.test")});
        serveDomains({S("alpha.test"), S("beta.test")});
        openWindow();
        window->batchBox()->setChecked(true);
        runBatch();
        settle();
        verifyEntryShown(0);

        // The same list saved again: its records still belong to it.
        editList(S("alpha.test\nbeta.test"));
        QCOMPARE(window->domainBox()->currentIndex(), 0);
        verifyEntryShown(0);

        // Another order: the stored records would show under the wrong domains, so they go.
        for (const FigureInfo& f : figureTable()) window->setFigure(f.figure, S("-"));
        editList(S("beta.test\n\n  \n alpha.test"));
        QCOMPARE(readDomainList(configFilePath()), (QStringList{S("beta.test"), S(" alpha.test")}));
        QCOMPARE(window->domainBox()->count(), 2);
        QCOMPARE(window->domainBox()->currentIndex(), 0);
        QCOMPARE(window->domain(), S("beta.test"));
        QVERIFY(!window->domainBox()->isEnabled());
        QTest::mouseClick(next(), Qt::LeftButton);
        QCOMPARE(window->domain(), S(" alpha.test"));
        QCOMPARE(shownFields(), QStringList(18, S("-")));
    }

    void batchRunSendsItsAlertsAndClosingMidDeliveryAbortsThem() {
        saveList({S("alpha.test"), S("beta.test")});
        serveDomains({S("alpha.test"), S("beta.test")});
        QVERIFY(writeFileAtomically(historyFilePath(), "[alpha.test]\r\n2010-5-12=99999999/1\r\n"));
        test::RobotReceiver robot;
        const auto target = [this](const QString& url) {
            const QString json =
                S("{\"targets\": [{\"kind\": \"webhook\", \"url\": \"") + url + S("\"}]}");
            QVERIFY(writeFileAtomically(fx->homeFile(S("notify.json")), json.toUtf8()));
        };
        target(robot.url(S("/hook")));
        openWindow();
        window->batchBox()->setChecked(true);
        QSignalSpy sent(window.get(), &MainWindow::runAlertsSent);
        runBatch();
        QVERIFY(sent.count() == 1 || sent.wait(20000));
        QCOMPARE(robot.received().size(), 1);
        const QJsonObject body = QJsonDocument::fromJson(robot.received()[0].body).object();
        QCOMPARE(body[S("drops")].toArray()[0].toObject()[S("domain")].toString(), S("alpha.test"));

        // A target that takes the request and never answers: the window goes while it waits.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        target(S("http://127.0.0.1:%1/").arg(silent.serverPort()));
        QTest::mouseClick(window->queryButton(), Qt::LeftButton);
        QVERIFY(test::waitFor([&] { return silent.hasPendingConnections(); }, 30000));
        QTcpSocket* socket = silent.nextPendingConnection();
        QVERIFY(test::waitFor([&] { return socket->bytesAvailable() > 0; }));
        QSignalSpy aborted(socket, &QTcpSocket::disconnected);
        window.reset();
        QVERIFY(aborted.wait(10000));
    }

    void editorSaveOfBlankLinesEmptiesTheList() {
        saveList({S("alpha.test"), S("beta.test")});
        openWindow();
        editList(S("\n  \n"));
        QCOMPARE(window->domainBox()->count(), 0);
        QCOMPARE(window->domainBox()->currentIndex(), -1);
        QVERIFY(readDomainList(configFilePath()).isEmpty());
    }

    void editorOutsideBatchModeReloadsAndSelectsEntryZero() {
        saveList({S("alpha.test")});
        openWindow();
        editList(S("new.test\nalpha.test"));
        QCOMPARE(window->domainBox()->count(), 2);
        QCOMPARE(window->domain(), S("new.test"));
        QVERIFY(window->domainBox()->isEnabled());
    }
};

QTEST_MAIN(BatchTest)
#include "qtest_batch.moc"
