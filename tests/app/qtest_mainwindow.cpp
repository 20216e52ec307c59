// The main window: its controls as a user and a screen reader meet them, the combined query's
// window batch against the stand-in services, responsiveness, start-up and leaving.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "app/singleinstance.h"
#include "core/services.h"
#include "engines/queryengine.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;

namespace {

using zorvan::S;

QString accessible(QObject* object, QAccessible::Text kind) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(kind) : QStringLiteral("<none>");
}

// Pages for the six window rows, in the services' wording; everything else answers 404.
void serveWindowRows(standin::Services& services) {
    services.setRoute(Role::ChinaRank,
                      "/overview/Info.do?url=", S("<span class=\"_font_y2\">2010-5-12</span>"));
    services.setRoute(
        Role::Alexa, "/siteinfo/",
        standin::Page{test::toGbk(S("<img style=\"margin-bottom:-2px;\"/>1,234</a></div>")), 200});
    services.setRoute(Role::SogouRank, "/sogourank.php?ur=", S("sogourank=6"));
    services.setRoute(Role::Soso, "/q?w=link%3A",
                      standin::Page{test::toGbk(S("<meta charset=gb2312\">搜索到约5,670项")), 200});
    services.setRoute(Role::Bing, "/search?q=site%3A",
                      S("<meta charset=\"utf-8\">结果(共 23,400 条)"));
    services.setRoute(
        Role::Yahoo, "/search?bwm=p&p=",
        standin::Page{test::toGbk(S("收录的网页： 共 <strong>8,901</strong> 条")), 200});
}

using F = Figure;

const QList<QPair<Figure, const char*>> windowRowValues = {
    {F::BaiduSnapshot, "2010-5-12"}, {F::AlexaRank, "1234"},      {F::SogouRank, "6"},
    {F::BacklinksSoso, "约5670"},    {F::IndexedBing, " 23400 "}, {F::IndexedYahoo, "8901"},
};

}  // namespace

class MainWindowTest : public QObject, public test::WindowFixture {
    Q_OBJECT

    void press() { window->queryButton()->click(); }

  private Q_SLOTS:
    void init() {
        prepare();
        open();
    }
    void cleanup() { close(); }

    void startsWithEveryControlInPlace() {
        QCOMPARE(window->objectName(), QStringLiteral("Form1"));
        QVERIFY(window->windowTitle().startsWith(S("Zorvan站长工具箱V6.2    新增百度权重查询   ")));
        for (const FigureInfo& f : figureTable()) {
            QLabel* field = window->figureField(f.figure);
            QCOMPARE(field->objectName(), figureControl(f.figure));
            QCOMPARE(field->text(), QStringLiteral("..."));
            QCOMPARE(field->toolTip(), S("点击查看详情"));
        }
        for (int k = 0; k < DetailFieldCount; ++k) {
            const auto field = DetailField(k);
            QCOMPARE(window->detailField(field)->objectName(), detailControl(field));
            const QString initial = field == DetailField::BaiduSnapshot  ? S("首页快照")
                                    : field == DetailField::GoogleLatest ? S("最新一篇")
                                    : field == DetailField::BaiduTitle   ? QString()
                                                                         : S("-");
            QCOMPARE(window->detail(field), initial);
        }
        QVERIFY(window->detailField(DetailField::BaiduTitle)->isHidden());
        QCOMPARE(window->findChild<QLabel*>(S("Label83"))->text(),
                 S("今日收录    一星期收录   一月收录   所有收录   最新快照  site:首页  "));
        QVERIFY(!window->batchBox()->isChecked());
        QVERIFY(window->autoSaveBox()->isChecked());
        QCOMPARE(window->autoSaveBox()->toolTip(),
                 S("查询结果保存在根目录history文本下，请勿手动修改其格式。"));
        QVERIFY(!window->batchBox()->toolTip().isEmpty());
        QVERIFY(window->hostArea()->isHidden());
        QVERIFY(window->previousArrow()->isHidden());
        QVERIFY(window->nextArrow()->isHidden());
        const QList<QPair<const char*, const char*>> buttons = {
            {"Command1", "查询"},          {"Command2", "查看历史"},  {"Command3", "复制结果"},
            {"Command4", "添加地址"},      {"Command7", "查询"},      {"Command9", "百度权重查询"},
            {"Command10", "外链页面查询"}, {"Command11", "访问此站"}, {"Command15", "访问官网"}};
        for (const auto& [name, caption] : buttons) {
            auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name));
            QVERIFY2(button, name);
            QCOMPARE(button->text(), S(caption));
            QCOMPARE(accessible(button, QAccessible::Name), S(caption));
        }
        // Keyboard focus starts in the domain box.
        QApplication::setActiveWindow(window.get());
        QTRY_VERIFY(window->domainBox()->hasFocus() || window->domainBox()->lineEdit()->hasFocus());
    }

    void speaksToScreenReaders() {
        QCOMPARE(accessible(window->domainBox(), QAccessible::Name), S("域名"));
        QCOMPARE(accessible(window->batchBox(), QAccessible::Name), S("批量查询"));
        QCOMPARE(accessible(window->autoSaveBox(), QAccessible::Name), S("自动保存"));
        QCOMPARE(accessible(window->previousArrow(), QAccessible::Name), S("上一个"));
        QCOMPARE(accessible(window->nextArrow(), QAccessible::Name), S("下一个"));
        QCOMPARE(accessible(window->queryButton(), QAccessible::Description), S("综合查询"));
        QCOMPARE(
            accessible(window->findChild<QPushButton*>(S("Command7")), QAccessible::Description),
            S("详细查询"));
        QCOMPARE(accessible(window->figureField(Figure::PageRank), QAccessible::Description),
                 S("Google PageRank"));
        QCOMPARE(accessible(window->figureField(Figure::BaiduSnapshot), QAccessible::Description),
                 S("百度快照"));
        QCOMPARE(accessible(window->figureField(Figure::IndexedBaidu), QAccessible::Description),
                 S("百度 收录情况"));
        QCOMPARE(accessible(window->figureField(Figure::BacklinksSoso), QAccessible::Description),
                 S("SOSO 反向链接"));
        QCOMPARE(accessible(window->figureField(Figure::BacklinksYoudao), QAccessible::Description),
                 S("有道 反向链接"));
        QCOMPARE(accessible(window->detailField(DetailField::BaiduDay), QAccessible::Description),
                 S("百度综合 今日收录"));
        QCOMPARE(
            accessible(window->detailField(DetailField::GoogleHomeFirst), QAccessible::Description),
            S("谷歌综合 site:首页"));
        QCOMPARE(
            accessible(window->detailField(DetailField::GoogleMonth), QAccessible::Description),
            S("谷歌综合 一月收录"));
        // A field's name is the figure it shows.
        window->setFigure(Figure::AlexaRank, S("1234"));
        QCOMPARE(accessible(window->figureField(Figure::AlexaRank), QAccessible::Name), S("1234"));
    }

    void queryFillsTheWindowRows() {
        serveWindowRows(fx->services);
        window->domainBox()->setEditText(S("example.com"));
        press();
        for (const auto& [figure, text] : windowRowValues)
            QTRY_COMPARE(window->figure(figure), S(text));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 10000);
        // Every window row asked for the typed domain.
        QCOMPARE(fx->services.targets(Role::Alexa), QList<QByteArray>{"/siteinfo/example.com"});
        QVERIFY(
            fx->services.targets(Role::Yahoo).contains(QByteArray("/search?bwm=p&p=example.com")));
    }

    void enterStartsTheQueryToo() {
        serveWindowRows(fx->services);
        window->domainBox()->setEditText(S("example.com"));
        QTest::keyClick(window->domainBox()->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(window->figure(Figure::AlexaRank), S("1234"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 10000);
    }

    // The box asks exactly what was typed: neither completed from the saved list nor recased.
    void theTypedDomainIsQueriedAsTyped() {
        window->domainBox()->addItems({S("abc.com.cn"), S("abc.com")});
        window->domainBox()->lineEdit()->clear();
        QTest::keyClicks(window->domainBox()->lineEdit(), S("abc.co"));
        QTest::keyClick(window->domainBox()->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 10000);
        QCOMPARE(window->domain(), S("abc.co"));
        QCOMPARE(fx->services.targets(Role::Alexa), QList<QByteArray>{"/siteinfo/abc.co"});
        window->domainBox()->lineEdit()->clear();
        QTest::keyClicks(window->domainBox()->lineEdit(), S("ABC.COM"));
        QTest::keyClick(window->domainBox()->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 10000);
        QCOMPARE(window->domain(), S("ABC.COM"));
        QCOMPARE(fx->services.targets(Role::Alexa).last(), QByteArray("/siteinfo/ABC.COM"));
    }

    void promptTextIsNeverQueried() {
        window->domainBox()->setEditText(S("请输入需要查询的URL"));
        window->setFigure(Figure::AlexaRank, S("old"));
        press();
        QCOMPARE(window->domainBox()->currentText(), QString());
        QCOMPARE(window->figure(Figure::AlexaRank), S("old"));
        QVERIFY(window->query() == nullptr);  // nothing was started, not even the PageRank lookup
        QVERIFY(queryDone());
    }

    void emptyBoxRunsOnlyThePageRankStep() {
        window->domainBox()->setEditText(QString());
        window->setFigure(Figure::AlexaRank, S("old"));
        press();
        QCOMPARE(window->figure(Figure::AlexaRank), QStringLiteral("..."));
        QVERIFY(queryDone());
        // The lookup finds no frame for the bare prefix and says so; nothing else was asked.
        QTRY_COMPARE(window->figure(Figure::PageRank), S("X"));
        QVERIFY(window->query()->isFinished());
        for (const auto& entry : fx->services.log()) QCOMPARE(entry.role, Role::PageRank);
        QCOMPARE(fx->services.targets(Role::PageRank), QList<QByteArray>{"/?PRAddress="});
    }

    void windowKeepsServingEventsWhileAFetchWaits() {
        serveWindowRows(fx->services);
        fx->services.setLatency(Role::ChinaRank, 1000);
        window->domainBox()->setEditText(S("example.com"));
        QElapsedTimer clock;
        qint64 last = 0, longestGap = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - last);
            last = now;
        });
        clock.start();
        timer.start(10);
        press();
        QTRY_COMPARE_WITH_TIMEOUT(window->figure(Figure::BaiduSnapshot), S("2010-5-12"), 10000);
        // A window that waited inside the fetch would miss ticks for the whole second the service
        // takes; half of it leaves room for a loaded machine.
        QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 10000);
    }

    void silentServiceGivesXAndTheWindowStaysUsable() {
        serveWindowRows(fx->services);
        fx->services.setFailure(Role::Alexa, standin::Failure::NeverAnswer);
        window->domainBox()->setEditText(S("example.com"));
        press();
        // While the silent service holds its field, the window takes clicks.
        QTRY_VERIFY(!fx->services.log(Role::Alexa).empty());
        QCOMPARE(window->figure(Figure::AlexaRank), Pending);
        window->autoSaveBox()->click();
        QVERIFY(!window->autoSaveBox()->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(window->figure(Figure::AlexaRank), S("X"), 10000);
        QTRY_COMPARE(window->figure(Figure::SogouRank), S("6"));
        QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 15000);
    }

    void oddDomainsAreFetchedAsTyped() {
        const QStringList domains = {S("a b.com"),    S("中文.com"), S("x#y"),          S("\"q\"'"),
                                     S("; rm -rf ~"), S("$(id)"),    QString(300, u'a')};
        for (const QString& d : domains) {
            fx->services.clearLog();
            window->domainBox()->setEditText(d);
            press();
            QTRY_VERIFY_WITH_TIMEOUT(queryDone(), 15000);
            const auto targets = fx->services.targets(Role::Alexa);
            QCOMPARE(targets.size(), 1);
            QCOMPARE(QUrl::fromPercentEncoding(targets.first()), S("/siteinfo/") + d);
            QCOMPARE(window->figure(Figure::AlexaRank), S("X"));
        }
    }

    void cancelOnTheExitQuestionKeepsEverything() {
        bool exited = false;
        connect(window.get(), &MainWindow::exitConfirmed, [&] { exited = true; });
        fake->answers.enqueue(MessageAnswer::Cancel);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QVERIFY(!exited);
        QCOMPARE(fake->messages.size(), 1);
        const Message& m = fake->messages.first();
        QCOMPARE(m.title, S("退出"));
        QCOMPARE(m.text, S("真的退出吗?"));
        QCOMPARE(m.icon, MessageIcon::Question);
        QCOMPARE(m.buttons, MessageButtons::OkCancel);
        fake->answers.enqueue(MessageAnswer::Ok);
        QVERIFY(window->close());
        QVERIFY(exited);
    }

    // Only a live copy holding the lock ends this one; a folder that cannot be used is reported.
    void unusableDataFolderIsNoSecondCopy() {
        const QString file = fx->home.filePath(QStringLiteral("not-a-folder"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const SingleInstance blocked(file);
        QVERIFY(!blocked.acquired());
        QVERIFY(!blocked.heldByAnotherCopy());
        QCOMPARE(blocked.failure(), S("该路径不是文件夹"));
        const SingleInstance first(fx->home.path());
        const SingleInstance second(fx->home.path());
        QVERIFY(first.acquired());
        QVERIFY(second.heldByAnotherCopy());
    }

    void secondCopyEndsSilently() {
        SingleInstance first(fx->home.path());
        QVERIFY(first.acquired());
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZORVAN_HOME"), fx->home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(ZORVAN_BINARY), {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(first.acquired());
    }
};

QTEST_MAIN(MainWindowTest)
#include "qtest_mainwindow.moc"
