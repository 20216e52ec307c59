// The detail grid of the main window, driven through its "查询" button against the demo pages.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "core/services.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;

namespace {

using zorvan::S;

// What one check of example.com against the demo pages shows, field by field.
const QList<QPair<const char*, const char*>> expectedGrid = {
    {"Label84", "约36"},     {"Label85", "约1,230"},   {"Label86", "0"},
    {"Label87", "约123456"}, {"Label88", "2026-12-7"}, {"Label89", "首页第一"},
    {"Label28", "12"},       {"Label56", "1,230"},     {"Label27", "8610"},
    {"Label57", "45,600"},   {"Label74", "2026-12-8"}, {"Label94", "首页第一"},
};

const QStringList resetOrder = {S("Label84"), S("Label85"), S("Label86"), S("Label87"),
                                S("Label88"), S("Label89"), S("Label56"), S("Label28"),
                                S("Label57"), S("Label27")};

}  // namespace

class DetailWindowTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    QPushButton* button() const {
        return window->findChild<QPushButton*>(QStringLiteral("Command7"));
    }
    void setDomain(const QString& d) { window->domainBox()->setEditText(d); }
    void verifyGrid() {
        for (const auto& [name, text] : expectedGrid) QCOMPARE(window->fieldText(S(name)), S(text));
    }
    // Waits until every check asked for has ended, counted from spy's start.
    static bool ended(QSignalSpy& spy) { return !spy.isEmpty() || spy.wait(20000); }
    int detailRequests() const {
        return int(fx->services.targets(Role::Baidu).size() +
                   fx->services.targets(Role::Google).size());
    }

  private Q_SLOTS:
    void init() {
        prepare(2000);
        fake->clock = QDateTime(QDate(2026, 12, 8), QTime(10, 0));
        QVERIFY(fx->services.loadRoutes(test::samplePagesFolder()) > 0);
        open();
        QVERIFY(button());
        fx->services.clearLog();
    }

    void cleanup() { close(); }

    void pressResetsThenClickFillsTheGrid() {
        setDomain(S("Example.com"));
        for (const char* name : {"Label84", "Label57", "Label27"})
            window->setFieldText(S(name), S("old"));

        QTest::mousePress(button(), Qt::LeftButton);
        for (const QString& name : resetOrder) QCOMPARE(window->fieldText(name), S("-"));
        QCOMPARE(detailRequests(), 0);  // the press alone asks nothing

        QSignalSpy done(window.get(), &MainWindow::detailCheckFinished);
        QTest::mouseRelease(button(), Qt::LeftButton);
        QCOMPARE(window->domain(), S("example.com"));
        QVERIFY(ended(done));
        verifyGrid();
        QLabel* title = window->label(S("Label17"));
        QVERIFY(title);
        QCOMPARE(title->text(), S("Example Domain 示例首页"));
        QVERIFY(title->isEnabled());
        // Seven Baidu requests (the declared total costs three) and three Google ones.
        QCOMPARE(fx->services.targets(Role::Baidu).size(), 7);
        QCOMPARE(fx->services.targets(Role::Google).size(), 3);
        for (const QByteArray& target : fx->services.targets(Role::Baidu))
            QVERIFY(target.contains("example.com"));
    }

    void rightButtonResetsToo() {
        setDomain(S("example.com"));
        window->setFieldText(S("Label88"), S("x"));
        QTest::mousePress(button(), Qt::RightButton);
        QCOMPARE(window->fieldText(S("Label88")), S("-"));
        QTest::mouseRelease(button(), Qt::RightButton);
        QCOMPARE(detailRequests(), 0);
    }

    void keyboardActivationSkipsTheReset() {
        setDomain(S("example.com"));
        // From a previous check: a month figure, and a week figure already at "0". Without the
        // reset the second wording is never tried and nothing turns the month figure into "0".
        window->setFieldText(S("Label86"), S("7"));
        window->setFieldText(S("Label85"), S("0"));
        button()->setFocus();
        QSignalSpy done(window.get(), &MainWindow::detailCheckFinished);
        QTest::keyClick(button(), Qt::Key_Space);
        QVERIFY(ended(done));
        QCOMPARE(window->fieldText(S("Label86")), S("7"));
        QCOMPARE(window->fieldText(S("Label85")), S("0"));
        QCOMPARE(window->fieldText(S("Label84")), S("约36"));
        QCOMPARE(window->fieldText(S("Label74")), S("2026-12-8"));
        QCOMPARE(detailRequests(), 10);
    }

    void secondPressDuringACheckRunsAnotherAfterIt() {
        setDomain(S("example.com"));
        fx->services.setLatency(QString(), 60);
        bool secondPressed = false;
        QTimer::singleShot(100, window.get(), [&] {
            QTest::mouseClick(button(), Qt::LeftButton);
            secondPressed = true;
        });
        QSignalSpy done(window.get(), &MainWindow::detailCheckFinished);
        QTest::mouseClick(button(), Qt::LeftButton);
        QVERIFY(ended(done));
        QVERIFY(secondPressed);
        QCOMPARE(done.size(), 1);
        QCOMPARE(detailRequests(), 20);
        // One request at a time, as from one stream.
        std::vector<standin::LogEntry> log;
        for (const auto& entry : fx->services.log())
            if (entry.role == Role::Baidu || entry.role == Role::Google) log.push_back(entry);
        for (size_t i = 1; i < log.size(); ++i) QVERIFY(log[i].startMs >= log[i - 1].endMs);
        verifyGrid();

        // The window still answers a plain check afterwards.
        fx->services.setLatency(QString(), 0);
        done.clear();
        QTest::mouseClick(button(), Qt::LeftButton);
        QVERIFY(ended(done));
        verifyGrid();
    }

    void servicesWithNothingEndWithTheFixedTexts() {
        fx->services.clearRoutes();
        setDomain(S("example.com"));
        QSignalSpy done(window.get(), &MainWindow::detailCheckFinished);
        QTest::mouseClick(button(), Qt::LeftButton);
        QVERIFY(ended(done));
        for (const char* name : {"Label84", "Label85", "Label86", "Label87", "Label88"})
            QCOMPARE(window->fieldText(S(name)), S("0"));
        QCOMPARE(window->fieldText(S("Label89")), S("不在第一位"));
        QCOMPARE(window->fieldText(S("Label28")), S("0或小于10页"));
        for (const char* name : {"Label56", "Label27", "Label57"})
            QCOMPARE(window->fieldText(S(name)), S("收录0页"));
        QCOMPARE(window->fieldText(S("Label74")), S("今日无快照"));
        QCOMPARE(window->fieldText(S("Label94")), S("不在第一"));
        QLabel* title = window->label(S("Label17"));
        QVERIFY(title);
        QCOMPARE(title->text(), S("标题无法获取"));
    }

    void windowDeletedDuringACheck() {
        setDomain(S("example.com"));
        fx->services.setLatency(QString(), 100);
        QPointer<MainWindow> watched = window.get();
        // Closed while the second request waits.
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (window && fx->services.targets(Role::Baidu).size() >= 2) window.reset();
        });
        poll.start(5);
        button()->click();
        QTRY_VERIFY(watched.isNull());
        // The check stopped at the fetch that was waiting: once its answer is out, a live check
        // would ask at once; nothing can signal that it did not, so the loop runs a little longer.
        QTRY_VERIFY(fx->services.log(Role::Baidu).back().endMs >= 0);
        QTest::qWait(150);
        QCOMPARE(fx->services.targets(Role::Baidu).size(), 2);
        QCOMPARE(fx->services.targets(Role::Google).size(), 0);
    }
};

QTEST_MAIN(DetailWindowTest)
#include "qtest_detail.moc"
