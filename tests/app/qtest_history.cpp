// The history wiring of the main window: the save of a completed query and the "查看历史" button.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/mainwindow.h"
#include "core/services.h"
#include "domains/domainlist.h"
#include "engines/batchrun.h"
#include "history/gui/historyviewer.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;

namespace {

using zorvan::S;

QByteArray historyBytes() {
    QFile f(historyFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The record the sample pages give sample.net.
const QString SampleRecord =
    S("约12300/约3450|约 45600 /约 320 |8901/2345|约 9870 条结果/约 1560 条结果|"
      "约2340/约5670| 23400 / 1020 | 5432 / 876 |128456");

}  // namespace

class HistoryWiringTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    void query(const QString& domain) { QVERIFY(WindowFixture::query(domain)); }
    static void writeHistory(const QString& text) {
        QFile f(historyFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(test::toGbk(text));
    }
    void openWindow() { open(); }

  private Q_SLOTS:
    void init() {
        prepare();
        fake->clock = QDateTime(QDate(2012, 3, 4), QTime(10, 0));
        loadSamplePages();
    }
    void cleanup() { close(); }

    void completedQueryIsSaved() {
        openWindow();
        QVERIFY(window->autoSaveBox()->isChecked());
        query(S("sample.net"));
        // Written off the window thread.
        QTRY_COMPARE(test::fromGbk(historyBytes()),
                     S("[sample.net]\r\n2012-3-4=") + SampleRecord + S("\r\n"));

        // The same day again replaces the record; without auto-save nothing is written.
        const QByteArray first = historyBytes();
        query(S("sample.net"));
        QTRY_VERIFY(historyBytes() != first);
        QCOMPARE(test::fromGbk(historyBytes()).count(S("2012-3-4=")), 1);
        const QByteArray before = historyBytes();
        window->autoSaveBox()->setChecked(false);
        query(S("other.net"));
        QCOMPARE(historyBytes(), before);
    }

    // The saved list reloaded while a query runs (the editor saved, batch mode ticked) puts another
    // entry into the box: the query still saves under its own domain, with its own figures.
    void aListReloadedDuringTheQuerySavesUnderTheQueriedDomain() {
        QVERIFY(writeDomainListValue(configFilePath(), S("x.com,y.com")));
        openWindow();
        fx->services.setLatency(Role::Sogou, 300);
        window->domainBox()->setEditText(S("sample.net"));
        window->queryButton()->click();
        QTRY_VERIFY(!fx->services.log(Role::Sogou).empty());
        window->domainBox()->setCurrentIndex(1);
        QCOMPARE(window->domain(), S("y.com"));
        QTRY_VERIFY_WITH_TIMEOUT(window->queryButton()->isEnabled(), 15000);
        QTRY_COMPARE(test::fromGbk(historyBytes()),
                     S("[sample.net]\r\n2012-3-4=") + SampleRecord + S("\r\n"));
    }

    void aFailedSaveIsToldOncePerQuery() {
        QVERIFY(QDir().mkpath(historyFilePath()));  // a folder where the file should be
        openWindow();
        query(S("sample.net"));
        QTRY_COMPARE(fake->messages.size(), 1);
        const Message& told = fake->messages.first();
        QVERIFY2(told.text.startsWith(S("保存历史记录失败：") + historyFilePath()),
                 qPrintable(told.text));
        QCOMPARE(told.icon, MessageIcon::Warning);
        query(S("sample.net"));
        QTRY_COMPARE(fake->messages.size(), 2);
        QVERIFY(QFileInfo(historyFilePath()).isDir());
    }

    // A count that fell since the latest earlier record is drawn red with "↓"; the figure itself,
    // what is saved and reported, stays the text that arrived.
    void aDroppedCountIsMarkedInItsField() {
        writeHistory(S("[sample.net]\r\n2012-3-3=") +
                     QString(SampleRecord).replace(S("约12300"), S("约20000")) + S("\r\n"));
        openWindow();
        query(S("sample.net"));
        QLabel* dropped = window->figureField(Figure::IndexedBaidu);
        QTRY_COMPARE(dropped->text(), S("约12300 ↓"));
        QCOMPARE(window->figure(Figure::IndexedBaidu), S("约12300"));
        QVERIFY(dropped->styleSheet().contains(S("#d01c1c")));
        QVERIFY2(dropped->toolTip().contains(S("2012-3-3")) &&
                     dropped->toolTip().contains(S("20000→12300")),
                 qPrintable(dropped->toolTip()));
        QLabel* kept = window->figureField(Figure::IndexedGoogle);
        QCOMPARE(kept->text(), S("约 45600 "));
        QVERIFY(!kept->styleSheet().contains(S("#d01c1c")));
        QTRY_VERIFY(historyBytes().contains(test::toGbk(S("2012-3-4=约12300/"))));
        // Another domain's query clears the mark.
        query(S("other.net"));
        QCOMPARE(dropped->text(), S("约12300"));
        QVERIFY(!dropped->styleSheet().contains(S("#d01c1c")));
    }

    // A batch run tells the drops of all its domains once, when its last entry is done.
    void aBatchRunTellsItsDropsTogetherAtTheEnd() {
        const QString lower = QString(SampleRecord).replace(S("约12300"), S("约20000"));
        writeHistory(S("[a.net]\r\n2012-3-3=") + lower + S("\r\n[c.net]\r\n2012-3-3=") + lower +
                     S("\r\n"));
        QVERIFY(writeDomainListValue(configFilePath(), S("a.net,b.net,c.net")));
        openWindow();
        window->batchBox()->setChecked(true);
        window->queryButton()->click();
        QVERIFY(
            test::waitFor([this] { return !window->batchRun().isActive() && queryDone(); }, 60000));
        QTRY_COMPARE(fake->messages.size(), 1);
        const QStringList lines = fake->messages.first().text.split(u'\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], S("以下数据较上次记录下降："));
        QVERIFY2(lines[1].startsWith(S("a.net  百度 收录情况  20000 → 12300")),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(S("c.net  百度 收录情况  20000 → 12300")),
                 qPrintable(lines[2]));
    }

    void historyButtonOpensTheViewerModally() {
        {
            QFile f(historyFilePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(test::toGbk(S("[a.com]\r\n2012-3-4=1/2|3/4\r\n[b.com]\r\n2012-3-5=5/6\r\n")));
        }
        openWindow();
        QStringList domains;
        QString firstDate;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            test::waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
            if (auto* viewer = qobject_cast<HistoryViewer*>(QApplication::activeModalWidget())) {
                test::waitFor([viewer] { return !viewer->isLoading(); }, 5000);
                modal = viewer->isModal();
                for (int i = 0; i < viewer->chooser()->count(); ++i)
                    domains.append(viewer->chooser()->itemText(i));
                firstDate = viewer->grid()->item(1, 1)->text();
                viewer->reject();
            }
        });
        window->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QVERIFY(modal);
        QCOMPARE(domains, (QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")}));
        QCOMPARE(firstDate, QStringLiteral("2012-3-4"));
    }
};

QTEST_MAIN(HistoryWiringTest)
#include "qtest_history.moc"
