// 站群总览: a run of the saved list from the window stores what the command's batch stores, and
// counts sort by their number with "X" last.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableView>
#include <QtTest>

#include "../cli/clirunner.h"
#include "app/mainwindow.h"
#include "core/services.h"
#include "domains/domainlist.h"
#include "fakeplatform.h"
#include "history/gui/historyviewer.h"
#include "history/historyfile.h"
#include "robotreceiver.h"
#include "sitegroup/gui/sitegroupwindow.h"
#include "sitegroup/siterun.h"
#include "sitegroup/sitetable.h"
#include "standinfixture.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;
using zorvan::S;

class SiteGroupTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    SiteGroupWindow* openFromMainWindow() {
        open();
        window->findChild<QPushButton*>(S("SiteGroupButton"))->click();
        return window->findChild<SiteGroupWindow*>();
    }

  private Q_SLOTS:
    void init() { prepare(3000); }
    void cleanup() { close(); }

    // Other sections before and after, a record of today to replace: the window's grouped,
    // side-by-side saves leave the bytes one run of the command leaves.
    void aRunSavesWhatBatchSaveSaves() {
        loadSamplePages();
        const QStringList domains = {S("one.test"), S("two.test"), S("三.test"), S("four.test"),
                                     S("five.test")};
        const QString today = shortDate(QDate::currentDate());
        const QByteArray start = test::toGbk(S("intro\r\n[other.test]\r\n2026-1-1=1/1|2/2|3/3|4/4|"
                                               "5/5|6/6|7/7|9\r\n\r\n\r\n[two.test]\r\n") +
                                             today + S("=8/8|8/8|8/8|8/8|8/8|8/8|8/8|8\r\n"));
        const QString history = historyFilePath();
        QVERIFY(test::writeFile(history, start));
        QVERIFY(writeDomainListValue(configFilePath(), domains.join(u',')));

        SiteGroupWindow* group = openFromMainWindow();
        QVERIFY(group);
        QCOMPARE(group->domains(), domains);
        group->jobsBox()->setValue(4);
        group->intervalBox()->setValue(0);
        group->autoSaveBox()->setChecked(true);
        QSignalSpy ended(group, &SiteGroupWindow::runEnded);
        group->startButton()->click();
        QVERIFY(ended.wait(60000));
        QCOMPARE(ended.first().first().toBool(), true);
        const QByteArray fromWindow = test::fileBytes(history);

        QVERIFY(test::writeFile(history, start));
        const QString list = fx->homeFile(S("list.txt"));
        QVERIFY(test::writeFile(list, domains.join(u'\n').toUtf8()));
        const test::CliRun cli =
            test::finishCli(test::cliProcess({S("batch"), S("--save"), S("--list"), list,
                                              S("--jobs"), S("4"), S("--host-interval"), S("0")},
                                             fx->home.path(), this));
        QCOMPARE(cli.status, 0);
        QCOMPARE(test::fromGbk(fromWindow), test::fromGbk(test::fileBytes(history)));
    }

    // Closing during a run asks; kept open on Cancel, stopped at once on Ok, with every record
    // finished by then written, those that waited for a slower domain before them too.
    void closedDuringARunItAsksThenKeepsEveryFinishedRecord() {
        loadSamplePages();
        const QStringList domains = {S("a.test"), S("b.test"), S("slow.test"), S("d.test"),
                                     S("e.test")};
        fx->services.setTargetLatency("slow.test", 5000);
        QVERIFY(writeDomainListValue(configFilePath(), domains.join(u',')));
        QPointer<SiteGroupWindow> group = openFromMainWindow();
        group->jobsBox()->setValue(2);
        group->intervalBox()->setValue(0);
        group->autoSaveBox()->setChecked(true);
        group->startButton()->click();
        // Told as soon as both have started, not a tick later.
        QVERIFY(test::waitFor([&] { return group->run().inFlight() == 2; }, 30000));
        QCoreApplication::processEvents();
        QVERIFY2(group->progressText()->text().contains(S("进行中 2")),
                 qPrintable(group->progressText()->text()));
        // a and b reported, d and e done behind slow.test, which alone is in flight.
        QVERIFY(test::waitFor(
            [&] { return group->run().done() == 2 && group->run().inFlight() == 1; }, 30000));
        // Their rows still read 查询中…, and 进行中 counts them.
        QCOMPARE(group->run().unreported(), 3);
        fake->answers.enqueue(MessageAnswer::Cancel);
        QVERIFY(!group->close());
        QVERIFY(group->isRunning());
        QVERIFY(group->close());
        QCOMPARE(fake->messages.size(), 2);
        QVERIFY(test::waitFor([&] { return group.isNull(); }));
        QCOMPARE(historyDomains(test::fileBytes(historyFilePath())),
                 (QStringList{S("a.test"), S("b.test"), S("d.test"), S("e.test")}));
    }

    // 只查今天未保存的 asks nothing about a domain saved today and shows its record; 只看下降 keeps
    // the domain whose count fell since yesterday.
    void aResumedRunSkipsTodaysDomainsAndDropsFilterTheRows() {
        loadSamplePages();
        const QString yesterday = shortDate(QDate::currentDate().addDays(-1));
        const QString today = shortDate(QDate::currentDate());
        QVERIFY(test::writeFile(
            historyFilePath(),
            test::toGbk(S("[done.test]\r\n") + today +
                        S("=约4242/1|1/1|1/1|1/1|1/1|1/1|1/1|1\r\n") + S("[fell.test]\r\n") +
                        yesterday + S("=约999999999/1|1/1|1/1|1/1|1/1|1/1|1/1|1\r\n"))));
        QVERIFY(writeDomainListValue(configFilePath(), S("done.test,fell.test,new.test")));
        SiteGroupWindow* group = openFromMainWindow();
        group->intervalBox()->setValue(0);
        group->notSavedTodayBox()->setChecked(true);
        QSignalSpy ended(group, &SiteGroupWindow::runEnded);
        group->startButton()->click();
        QVERIFY(ended.wait(60000));
        for (const auto& entry : fx->services.log()) QVERIFY(!entry.target.contains("done.test"));
        SiteTableModel* table = group->table();
        QCOMPARE(table->site(0).values[Figure::IndexedBaidu], S("约4242"));
        QCOMPARE(table->site(0).queried, today);
        group->shown()->setDropsOnly(true);
        QCOMPARE(group->shown()->shownRows(), QList<int>{1});
    }

    // A blocked figure is grey with its reason and 只看拦截 keeps its row; the workbook holds the
    // rows shown, the HTML export the window's domains; a row's menu copies its own result, a
    // double-click opens its own history.
    void blockedRowsExportsAndARowsOwnActions() {
        // b.test second, so that its viewer is not the one that opens on the first domain.
        QVERIFY(test::writeFile(historyFilePath(),
                                test::toGbk(S("[a.test]\r\n2026-1-1=1/1|1/1|1/1|1/1|1/1|1/1|1/1|1"
                                              "\r\n[b.test]\r\n2026-1-1=1/1|1/1|1/1|1/1|1/1|1/"
                                              "1|1/1|1\r\n"))));
        SiteGroupWindow* group = openFromMainWindow();
        group->setDomains({S("a.test"), S("b.test"), S("c.test")});
        SiteTableModel* table = group->table();
        std::array<Verdict, FigureCount> verdicts;
        verdicts.fill(Verdict::Ok);
        FigureValues values;
        values[Figure::IndexedGoogle] = S("约77");
        table->showQuery(0, values, verdicts, {}, QDateTime::currentDateTime());
        values[Figure::IndexedGoogle] = S("X");
        verdicts[size_t(Figure::IndexedGoogle)] = Verdict::Blocked;
        table->showQuery(1, values, verdicts, {}, QDateTime::currentDateTime());
        const QModelIndex cell = table->index(1, SiteTableModel::columnOf(Figure::IndexedGoogle));
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(), S("疑似被拦截"));
        QVERIFY(cell.data(Qt::BackgroundRole).isValid());
        group->shown()->setBlockedOnly(true);
        QCOMPARE(group->shown()->shownRows(), QList<int>{1});

        QVERIFY(group->exportWorkbook());
        QCOMPARE(fake->opened.size(), 1);
        if (QStandardPaths::findExecutable(S("unzip")).isEmpty()) {
            qWarning("unzip is not installed: the workbook's rows are not checked");
        } else {
            QProcess unzip;
            unzip.start(S("unzip"),
                        {S("-p"), fake->opened.first().toLocalFile(), S("xl/sharedStrings.xml")});
            QVERIFY(unzip.waitForFinished());
            const QString strings = QString::fromUtf8(unzip.readAllStandardOutput());
            QVERIFY(strings.contains(S("b.test")) && strings.contains(S("谷歌收录")));
            QVERIFY(!strings.contains(S("a.test")));
        }

        const QString site = fx->homeFile(S("site"));
        QSignalSpy exported(group, &SiteGroupWindow::htmlExported);
        group->exportHtml(site);
        QTRY_COMPARE(exported.size(), 1);
        QCOMPARE(exported.first().first().toBool(), true);
        QCOMPARE(fake->opened.last(), QUrl::fromLocalFile(site + S("/index.html")));
        const QString index = QString::fromUtf8(test::fileBytes(site + S("/index.html")));
        QCOMPARE(index.count(S("<tr data-domain=")), 3);

        group->shown()->setBlockedOnly(false);
        table->showQuery(0, values, verdicts, {}, QDateTime::currentDateTime());
        group->copyRow(1);
        QVERIFY(QGuiApplication::clipboard()->text().contains(S("b.test")));
        Q_EMIT group->view()->doubleClicked(group->shown()->mapFromSource(table->index(1, 0)));
        auto* viewer = group->findChild<HistoryViewer*>();
        QVERIFY(viewer && viewer->isVisible());
        QTRY_VERIFY(!viewer->isLoading());
        QCOMPARE(viewer->chooser()->currentText(), S("b.test"));
    }

    // The run's alert counts a record as saved only once it is written: here the lock is a
    // folder, so nothing is.
    void theAlertCountsNoRecordTheFileRefused() {
        loadSamplePages();
        QVERIFY(writeDomainListValue(configFilePath(), S("one.test")));
        QVERIFY(test::writeFile(historyFilePath(), "[one.test]\r\n2010-5-12=99999999/1\r\n"));
        QVERIFY(QDir().mkpath(historyFilePath() + S(".lock")));
        test::RobotReceiver robot;
        QVERIFY(test::writeFile(fx->homeFile(S("notify.json")),
                                (S("{\"targets\": [{\"kind\": \"webhook\", \"url\": \"") +
                                 robot.url(S("/hook")) + S("\"}]}"))
                                    .toUtf8()));
        SiteGroupWindow* group = openFromMainWindow();
        group->intervalBox()->setValue(0);
        group->autoSaveBox()->setChecked(true);
        QSignalSpy sent(group, &SiteGroupWindow::alertsSent);
        group->startButton()->click();
        QVERIFY(sent.wait(60000));
        QCOMPARE(robot.received().size(), 1);
        const QJsonObject run =
            QJsonDocument::fromJson(robot.received()[0].body).object()[S("run")].toObject();
        QCOMPARE(run[S("domains")].toInt(), 1);
        QCOMPARE(run[S("saved")].toInt(), 0);
    }

    void aListFileTellsTheLinesItLeftOut() {
        SiteGroupWindow* group = openFromMainWindow();
        const QString list = fx->homeFile(S("list.txt"));
        QVERIFY(test::writeFile(list, "a.test\nb\xff\xfe.test\nc.test\n"));
        QVERIFY(group->openListFile(list));
        QCOMPARE(group->domains(), (QStringList{S("a.test"), S("c.test")}));
        QCOMPARE(fake->messages.size(), 1);
        QVERIFY(fake->messages.first().text.contains(S("第 2 行不是 UTF-8 文本，已跳过 1 行")));
    }

    void countsSortByTheirNumberAndXLast() {
        SiteGroupWindow* group = openFromMainWindow();
        const QStringList texts = {S("丂约14141条结果"), S("X"), S("约8,888"), S("950"),
                                   S("百度为您找到相关结果约1,234,567个")};
        QStringList domains;
        for (int i = 0; i < texts.size(); ++i) domains.append(S("d%1.test").arg(i));
        group->setDomains(domains);
        SiteTableModel* table = group->table();
        for (int i = 0; i < texts.size(); ++i) {
            FigureValues values;
            values[Figure::IndexedBaidu] = texts[i];
            std::array<Verdict, FigureCount> verdicts;
            verdicts.fill(Verdict::Ok);
            if (texts[i] == u"X") verdicts[size_t(Figure::IndexedBaidu)] = Verdict::Blocked;
            table->showQuery(i, values, verdicts, {}, QDateTime::currentDateTime());
        }
        const int column = SiteTableModel::columnOf(Figure::IndexedBaidu);
        QCOMPARE(table->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                 S("百度收录"));
        const auto order = [&] {
            QStringList shown;
            for (const int row : group->shown()->shownRows())
                shown.append(table->site(row).values[Figure::IndexedBaidu]);
            return shown;
        };
        group->view()->sortByColumn(column, Qt::AscendingOrder);
        QCOMPARE(order(), (QStringList{S("950"), S("约8,888"), S("丂约14141条结果"),
                                       S("百度为您找到相关结果约1,234,567个"), S("X")}));
        group->view()->sortByColumn(column, Qt::DescendingOrder);
        QCOMPARE(order(), (QStringList{S("百度为您找到相关结果约1,234,567个"), S("丂约14141条结果"),
                                       S("约8,888"), S("950"), S("X")}));
    }
};

QTEST_MAIN(SiteGroupTest)
#include "qtest_sitegroup.moc"
