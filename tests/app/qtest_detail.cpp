// The detail grid of the main window, driven through its "查询" button against the demo pages.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "chainwait.h"
#include "core/services.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;

namespace {

using zorvan::S;

using D = DetailField;

// What one check of example.com against the demo pages shows, field by field.
const QList<QPair<DetailField, const char*>> expectedGrid = {
    {D::BaiduDay, "约36"},       {D::BaiduWeek, "约1,230"},       {D::BaiduMonth, "0"},
    {D::BaiduTotal, "约123456"}, {D::BaiduSnapshot, "2026-12-7"}, {D::BaiduHomeFirst, "首页第一"},
    {D::GoogleDay, "12"},        {D::GoogleWeek, "1,230"},        {D::GoogleMonth, "8610"},
    {D::GoogleTotal, "45,600"},  {D::GoogleLatest, "2026-12-8"},  {D::GoogleHomeFirst, "首页第一"},
};

const QList<DetailField> resetOrder = {
    D::BaiduDay,       D::BaiduWeek,  D::BaiduMonth, D::BaiduTotal,  D::BaiduSnapshot,
    D::BaiduHomeFirst, D::GoogleWeek, D::GoogleDay,  D::GoogleTotal, D::GoogleMonth};

}  // namespace

class DetailWindowTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    QPushButton* button() const {
        return window->findChild<QPushButton*>(QStringLiteral("Command7"));
    }
    void setDomain(const QString& d) { window->domainBox()->setEditText(d); }
    void verifyGrid() {
        for (const auto& [field, text] : expectedGrid) QCOMPARE(window->detail(field), S(text));
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
        for (const DetailField field : {D::BaiduDay, D::GoogleTotal, D::GoogleMonth})
            window->setDetail(field, S("old"));

        QTest::mousePress(button(), Qt::LeftButton);
        for (const DetailField field : resetOrder) QCOMPARE(window->detail(field), S("-"));
        QCOMPARE(detailRequests(), 0);  // the press alone asks nothing

        QSignalSpy done(window.get(), &MainWindow::detailCheckFinished);
        QTest::mouseRelease(button(), Qt::LeftButton);
        QCOMPARE(window->domain(), S("example.com"));
        QVERIFY(ended(done));
        verifyGrid();
        QLabel* title = window->detailField(DetailField::BaiduTitle);
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
        window->setDetail(DetailField::BaiduSnapshot, S("x"));
        QTest::mousePress(button(), Qt::RightButton);
        QCOMPARE(window->detail(DetailField::BaiduSnapshot), S("-"));
        QTest::mouseRelease(button(), Qt::RightButton);
        QCOMPARE(detailRequests(), 0);
    }

    void keyboardActivationSkipsTheReset() {
        setDomain(S("example.com"));
        // From a previous check: a month figure, and a week figure already at "0". Without the
        // reset the second wording is never tried and nothing turns the month figure into "0".
        window->setDetail(DetailField::BaiduMonth, S("7"));
        window->setDetail(DetailField::BaiduWeek, S("0"));
        button()->setFocus();
        QSignalSpy done(window.get(), &MainWindow::detailCheckFinished);
        QTest::keyClick(button(), Qt::Key_Space);
        QVERIFY(ended(done));
        QCOMPARE(window->detail(DetailField::BaiduMonth), S("7"));
        QCOMPARE(window->detail(DetailField::BaiduWeek), S("0"));
        QCOMPARE(window->detail(DetailField::BaiduDay), S("约36"));
        QCOMPARE(window->detail(DetailField::GoogleLatest), S("2026-12-8"));
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
        for (const DetailField field :
             {D::BaiduDay, D::BaiduWeek, D::BaiduMonth, D::BaiduTotal, D::BaiduSnapshot})
            QCOMPARE(window->detail(field), S("0"));
        QCOMPARE(window->detail(DetailField::BaiduHomeFirst), S("不在第一位"));
        QCOMPARE(window->detail(DetailField::GoogleDay), S("0或小于10页"));
        for (const DetailField field : {D::GoogleWeek, D::GoogleMonth, D::GoogleTotal})
            QCOMPARE(window->detail(field), S("收录0页"));
        QCOMPARE(window->detail(DetailField::GoogleLatest), S("今日无快照"));
        QCOMPARE(window->detail(DetailField::GoogleHomeFirst), S("不在第一"));
        QLabel* title = window->detailField(DetailField::BaiduTitle);
        QVERIFY(title);
        QCOMPARE(title->text(), S("标题无法获取"));
    }

    void windowDeletedDuringACheck() {
        setDomain(S("example.com"));
        // The week's page, the check's second request, is answered only after the window is gone.
        fx->services.setTargetLatency("&lm=7", 1000);
        button()->click();
        QTRY_COMPARE(fx->services.targets(Role::Baidu).size(), 2);
        QVERIFY(fx->services.targets(Role::Baidu).last().contains("&lm=7"));
        window.reset();
        // A check still alive would ask its next page as soon as that answer is in. A request sent
        // after the answer went out is answered after it, so once that one is back, any next
        // request of the check has been asked.
        QTRY_VERIFY_WITH_TIMEOUT(fx->services.log(Role::Baidu).back().endMs >= 0, 5000);
        test::awaitFetch(fx->base(Role::Google) + S("/after"));
        QCoreApplication::processEvents();
        QCOMPARE(fx->services.targets(Role::Baidu).size(), 2);
        QCOMPARE(fx->services.targets(Role::Google), QList<QByteArray>{"/after"});
    }
};

QTEST_MAIN(DetailWindowTest)
#include "qtest_detail.moc"
