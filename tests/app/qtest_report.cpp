#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/mainwindow.h"
#include "core/services.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "tools/gui/reportwindow.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

QPushButton* button(MainWindow& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

// Runs the check on the modal report window once it is open, then closes it. False when no
// report window opened.
bool inspectReport(const std::function<void()>& click,
                   const std::function<void(ReportWindow&)>& check) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        test::waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        if (auto* report = qobject_cast<ReportWindow*>(QApplication::activeModalWidget())) {
            seen = true;
            check(*report);
            report->reject();
        }
    });
    click();
    return seen;
}

QString shownFigure(Figure figure) {
    return QStringLiteral("v%1").arg(int(figure));
}

// The report of changed.org with shownFigure() in every field but Google's indexed pages.
void verifyReportLines(const QStringList& lines) {
    using F = Figure;
    QCOMPARE(lines.size(), 13);
    QCOMPARE(lines[0], S("有关changed.org的SEO数据"));
    QCOMPARE(lines[1], S("查询时间:2011-1-2 3:04:05"));
    QCOMPARE(lines[2], S("谷歌PR:") + shownFigure(F::PageRank));
    QCOMPARE(lines[3], S("Alexa排名:") + shownFigure(F::AlexaRank));
    QCOMPARE(lines[4], S("搜狗评分:") + shownFigure(F::SogouRank));
    QCOMPARE(lines[5], S("百度: 收录") + shownFigure(F::IndexedBaidu) + S("      反链") +
                           shownFigure(F::BacklinksBaidu));
    QCOMPARE(lines[6], S("谷歌: 收录1234567890123反链") + shownFigure(F::BacklinksGoogle));
    const QList<QPair<const char*, Engine>> rest = {{"雅虎", Engine::Yahoo},
                                                    {"搜狗", Engine::Sogou},
                                                    {"搜搜", Engine::Soso},
                                                    {"必应", Engine::Bing},
                                                    {"有道", Engine::Youdao}};
    for (int i = 0; i < 5; ++i) {
        const QString indexed = shownFigure(indexedFigure(rest[i].second));
        QCOMPARE(lines[7 + i], S(rest[i].first) + S(": 收录") + indexed +
                                   QString(13 - indexed.size(), u' ') + S("反链") +
                                   shownFigure(backlinksFigure(rest[i].second)));
    }
    QCOMPARE(lines[12], S("以上数据通过Zorvan站长工具查询"));
}

}  // namespace

class ReportWiringTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void reportBeforeAnyQueryOnlyTellsSo();
    void reportShowsTheBoxTextAndTheFieldsAtOpening();
    void browserButtonsOpenAddressesWithoutAShell();
    void updateCheckRunsOnceASecondAfterStart();
    void demoVersionFileAsksNothing();
};

void ReportWiringTest::reportBeforeAnyQueryOnlyTellsSo() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    MainWindow window(nullptr, std::nullopt);
    bool modalDuringMessage = true;
    fake.onMessage = [&](const Message&) {
        modalDuringMessage = QApplication::activeModalWidget() != nullptr;
        return MessageAnswer::Ok;
    };
    const bool opened =
        inspectReport([&] { button(window, "Command3")->click(); }, [](ReportWindow&) {});
    QVERIFY(!opened);
    QVERIFY(!modalDuringMessage);
    QCOMPARE(fake.messages.size(), 1);
    QCOMPARE(fake.messages[0].text, S("你尚未查询域名"));
    QCOMPARE(fake.messages[0].title, S("Quenta"));
    QCOMPARE(fake.messages[0].icon, MessageIcon::Information);
    QCOMPARE(fake.messages[0].buttons, MessageButtons::Ok);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
}

void ReportWiringTest::reportShowsTheBoxTextAndTheFieldsAtOpening() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    fake.clock = QDateTime(QDate(2011, 1, 2), QTime(3, 4, 5));
    MainWindow window(nullptr, std::nullopt);
    window.show();
    window.domainBox()->setEditText(S("example.com"));
    window.startCombinedQuery();
    QVERIFY(test::waitFor([&] { return window.queryButton()->isEnabled(); }, 30000));

    // Distinct figures in every field, so each one is seen reaching its own line.
    for (const FigureInfo& f : figureTable()) window.setFigure(f.figure, shownFigure(f.figure));
    window.setFigure(Figure::IndexedGoogle, S("1234567890123"));
    window.domainBox()->setEditText(S("changed.org"));

    QString shown;
    const bool opened =
        inspectReport([&] { button(window, "Command3")->click(); },
                      [&](ReportWindow& report) {
                          QCOMPARE(report.objectName(), S("Form2"));
                          QCOMPARE(report.windowTitle(), S("复制changed.org结果"));
                          QCOMPARE(report.titleLabel()->text(), S("复制changed.org结果"));
                          shown = report.textBox()->toPlainText();
                          // Later changes of the fields leave the open report alone.
                          window.setFigure(Figure::PageRank, S("changed"));
                          QCOMPARE(report.textBox()->toPlainText(), shown);

                          report.textBox()->setPlainText(shown + S("\n我的备注"));
                          report.copyButton()->click();
                      });
    QVERIFY(opened);
    verifyReportLines(shown.split(u'\n'));

    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString(shown).replace(u'\n', S("\r\n")) + S("\r\n我的备注"));
    QCOMPARE(fake.messages.size(), 1);
    QCOMPARE(fake.messages[0].text, S("复制成功"));
}

void ReportWiringTest::browserButtonsOpenAddressesWithoutAShell() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    MainWindow window(nullptr, std::nullopt);
    QTemporaryDir scratch;
    const QString marker = scratch.filePath(QStringLiteral("p"));

    window.domainBox()->setEditText(S("example.com"));
    button(window, "Command11")->click();
    window.domainBox()->setEditText(QString());
    button(window, "Command11")->click();
    // Metacharacters in the path reach the browser as part of one address.
    const QString inPath =
        S("example.com/$(touch ") + marker + S(");`touch ") + marker + S("`&&\"");
    window.domainBox()->setEditText(inPath);
    button(window, "Command11")->click();
    // In the host they make an address no browser can open; still nothing runs.
    window.domainBox()->setEditText(S("x\"; touch ") + marker + S("; \""));
    button(window, "Command11")->click();
    button(window, "Command15")->click();

    const QStringList opened = fake.openedAddresses();
    QCOMPARE(opened.size(), 5);
    QCOMPARE(opened[0], S("http://example.com"));
    QCOMPARE(fake.opened[1].scheme(), S("http"));
    QVERIFY(fake.opened[1].host().isEmpty());
    QVERIFY(fake.opened[2].isValid());
    QCOMPARE(fake.opened[2].host(), S("example.com"));
    QCOMPARE(QUrl::fromPercentEncoding(opened[2].toUtf8()), S("http://") + inPath);
    QVERIFY(!fake.opened[3].isValid());
    QCOMPARE(opened[4], productAddress());
    QCOMPARE(opened[4], fx.base(Role::Maker) + S("/zorvan"));
    QVERIFY(!QFile::exists(marker));
    QVERIFY(fake.messages.isEmpty());
}

void ReportWiringTest::updateCheckRunsOnceASecondAfterStart() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    fx.services.setRoute(Role::Maker, "/mirelo/shenji.txt",
                         standin::Page{test::toGbk(S("9.0\r\n"))});
    MainWindow window;
    window.show();
    // Started with the window, once, for a second later: nothing asked before it fires.
    auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer2"));
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(fx.services.targets(Role::Maker).isEmpty());

    // Its second passed at once.
    QSignalSpy done(&window, &MainWindow::updateCheckDone);
    timer->start(0);
    QVERIFY(done.wait(10000));
    // Once: nothing is left to start it again.
    QVERIFY(!timer->isActive());

    QCOMPARE(fx.services.targets(Role::Maker), QList<QByteArray>{"/mirelo/shenji.txt"});
    QCOMPARE(fake.messages.size(), 1);
    QCOMPARE(fake.messages[0].text, S("最新版本Zorvan站长9.0，是否更新？"));
    QCOMPARE(fake.messages[0].title, S("发现最新版本"));
    QCOMPARE(fake.openedAddresses(), QStringList{fx.base(Role::Maker) + S("/mirelo/")});
}

void ReportWiringTest::demoVersionFileAsksNothing() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    QVERIFY(fx.services.loadRoutes(test::samplePagesFolder()) > 0);
    MainWindow window(nullptr, std::chrono::milliseconds(0));
    window.show();
    QSignalSpy done(&window, &MainWindow::updateCheckDone);
    QVERIFY(done.wait(10000));
    QCOMPARE(fx.services.targets(Role::Maker).size(), 1);
    QVERIFY(fake.messages.isEmpty());
    QVERIFY(fake.opened.isEmpty());
}

QTEST_MAIN(ReportWiringTest)
#include "qtest_report.moc"
