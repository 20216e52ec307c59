// The history wiring of the main window: the completion poll's save and the "查看历史" button.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/mainwindow.h"
#include "domains/domainlist.h"
#include "fakeplatform.h"
#include "fetch/services.h"
#include "history/gui/historyviewer.h"
#include "standinfixture.h"

using namespace zorvan;

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

QByteArray historyBytes() {
    QFile f(historyFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The record the sample pages give sample.net.
const QString SampleRecord = S("约12300/约3450|约 45600 /约 320 |8901/2345|约 9870 条结果/约 1560 条结果|"
                               "约2340/约5670| 23400 / 1020 | 5432 / 876 |128456");

}  // namespace

class HistoryWiringTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakePlatform> fake;
    std::unique_ptr<test::StandinFixture> fx;
    std::unique_ptr<MainWindow> window;

    void query(const QString& domain) {
        window->domainBox()->setEditText(domain);
        window->queryButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(window->queryButton()->isEnabled(), 15000);
    }
    void openWindow() {
        window = std::make_unique<MainWindow>();
        window->findChild<QTimer*>(QStringLiteral("Timer2"))->stop();
    }

private Q_SLOTS:
    void init() {
        fake = std::make_unique<test::FakePlatform>();
        fake->clock = QDateTime(QDate(2012, 3, 4), QTime(10, 0));
        fx = std::make_unique<test::StandinFixture>(1500);
        QVERIFY(fx->services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes")) > 0);
    }
    void cleanup() {
        window.reset();
        fx.reset();
        fake.reset();
    }

    void completedQueryIsSaved() {
        openWindow();
        QVERIFY(window->autoSaveBox()->isChecked());
        query(S("sample.net"));
        QCOMPARE(test::fromGbk(historyBytes()), S("[sample.net]\r\n2012-3-4=") + SampleRecord + S("\r\n"));

        // The same day again replaces the record; without auto-save nothing is written.
        query(S("sample.net"));
        QCOMPARE(test::fromGbk(historyBytes()).count(S("2012-3-4=")), 1);
        const QByteArray before = historyBytes();
        window->autoSaveBox()->setChecked(false);
        query(S("other.net"));
        QCOMPARE(historyBytes(), before);
        QVERIFY(window->state().resultsReady);
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
        QCOMPARE(test::fromGbk(historyBytes()), S("[sample.net]\r\n2012-3-4=") + SampleRecord + S("\r\n"));
    }

    void aFailedSaveIsToldOncePerQuery() {
        QVERIFY(QDir().mkpath(historyFilePath()));  // a folder where the file should be
        openWindow();
        query(S("sample.net"));
        QTRY_COMPARE(fake->messages.size(), 1);
        const Message& told = fake->messages.first();
        QVERIFY2(told.text.startsWith(S("保存历史记录失败：") + historyFilePath()), qPrintable(told.text));
        QCOMPARE(told.icon, MessageIcon::Warning);
        query(S("sample.net"));
        QTRY_COMPARE(fake->messages.size(), 2);
        QVERIFY(QFileInfo(historyFilePath()).isDir());
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
                modal = viewer->isModal();
                for (int i = 0; i < viewer->chooser()->count(); ++i) domains.append(viewer->chooser()->itemText(i));
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
