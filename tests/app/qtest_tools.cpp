#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "app/mainwindow.h"
#include "core/services.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "tools/gui/backlinkwindow.h"
#include "tools/gui/weightwindow.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

QPushButton* button(QWidget& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

}  // namespace

class ToolsWiringTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void buttonsEmbedTheirWindowsInTheHostArea();
    void returnHidesTheHostAndTheWindowsKeepTheirLists();
    void clicksInsideAToolWindowStayThere();
};

void ToolsWiringTest::buttonsEmbedTheirWindowsInTheHostArea() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    MainWindow main(nullptr, std::nullopt);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget* host = main.hostArea();
    QVERIFY(!host->isVisible());

    QTest::mouseClick(button(main, "Command10"), Qt::LeftButton);
    QVERIFY(host->isVisible());
    auto* backlinks = host->findChild<BacklinkWindow*>();
    QVERIFY(backlinks);
    QCOMPARE(backlinks->parentWidget(), host);
    QVERIFY(backlinks->isVisible());
    QVERIFY(!backlinks->isWindow());
    QCOMPARE(backlinks->pos(), QPoint(0, 1));
    QVERIFY(host->rect().contains(backlinks->geometry()));

    QTest::mouseClick(button(main, "Command9"), Qt::LeftButton);
    auto* weight = host->findChild<WeightWindow*>();
    QVERIFY(weight);
    QVERIFY(weight->isVisible());
    QVERIFY(!weight->isWindow());
    QCOMPARE(weight->pos(), QPoint(0, 1));
    // Only the window last asked for is shown in the host area.
    QVERIFY(!backlinks->isVisible());
    QVERIFY(host->rect().contains(weight->geometry()));

    // With every tool window in it, each name in the window's tree names one control.
    QTest::mouseClick(button(main, "CheckButton"), Qt::LeftButton);
    QStringList names;
    for (const QWidget* w : main.findChildren<QWidget*>())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"))
            names.append(w->objectName());
    names.sort();
    for (qsizetype i = 1; i < names.size(); ++i)
        QVERIFY2(names[i] != names[i - 1], qPrintable(names[i]));
    QVERIFY(names.contains(S("Form5.Command3")) && names.contains(S("Form17.Label3")));
    QCOMPARE(button(main, "Command3")->text(), S("复制结果"));
}

void ToolsWiringTest::returnHidesTheHostAndTheWindowsKeepTheirLists() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    fx.services.setRoute(
        Role::Yahoo, "/",
        standin::Page{S("共 <strong>3</strong> 1. <a href=\"http://a.cn/\">甲</a>").toUtf8(), 200});
    fx.services.setRoute(
        Role::KeywordRank, "/",
        standin::Page{test::toGbk(S("累计找到 <span style=\"color:#F00\">4<")), 200});
    MainWindow main(nullptr, std::nullopt);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget* host = main.hostArea();

    QTest::mouseClick(button(main, "Command10"), Qt::LeftButton);
    auto* backlinks = host->findChild<BacklinkWindow*>();
    QTest::mouseClick(backlinks->queryButton(), Qt::LeftButton);
    QTRY_VERIFY(backlinks->queryButton()->isEnabled());
    QCOMPARE(backlinks->list()->model()->rowCount(), 1);
    QTest::mouseClick(backlinks->returnButton(), Qt::LeftButton);
    QVERIFY(!host->isVisible());
    QVERIFY(main.domainBox()->isVisible());

    QTest::mouseClick(button(main, "Command9"), Qt::LeftButton);
    auto* weight = host->findChild<WeightWindow*>();
    QTest::mouseClick(weight->queryButton(), Qt::LeftButton);
    QTRY_VERIFY(weight->queryButton()->isEnabled());
    QCOMPARE(weight->list()->rowCount(), 4);
    QTest::mouseClick(weight->returnButton(), Qt::LeftButton);
    QVERIFY(!host->isVisible());

    // Pressing the buttons again brings back the same windows, lists kept.
    QTest::mouseClick(button(main, "Command10"), Qt::LeftButton);
    QCOMPARE(host->findChildren<BacklinkWindow*>().size(), 1);
    QCOMPARE(host->findChild<BacklinkWindow*>(), backlinks);
    QVERIFY(backlinks->isVisible());
    QCOMPARE(backlinks->list()->model()->rowCount(), 1);
    QTest::mouseClick(button(main, "Command9"), Qt::LeftButton);
    QCOMPARE(host->findChildren<WeightWindow*>().size(), 1);
    QCOMPARE(weight->list()->rowCount(), 4);
    QCOMPARE(weight->figure(WeightField::KeywordCount)->text(), S("共检查到4条"));
}

void ToolsWiringTest::clicksInsideAToolWindowStayThere() {
    test::StandinFixture fx;
    test::FakePlatform fake;
    MainWindow main(nullptr, std::nullopt);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QTest::mouseClick(button(main, "Command10"), Qt::LeftButton);
    auto* backlinks = main.hostArea()->findChild<BacklinkWindow*>();
    QTest::mouseClick(backlinks->statusLine(), Qt::LeftButton);
    QTest::mouseClick(backlinks, Qt::LeftButton, {},
                      QPoint(backlinks->width() - 2, backlinks->height() - 2));
    QTest::mouseClick(button(main, "Command9"), Qt::LeftButton);
    auto* weight = main.hostArea()->findChild<WeightWindow*>();
    QTest::mouseClick(weight->figure(WeightField::Weight), Qt::LeftButton);
    QVERIFY(fake.opened.isEmpty());
    // The host area's own link still works where no tool window covers it.
    weight->hide();
    QTest::mouseClick(main.hostArea(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(fake.opened.size(), 1);
}

QTEST_MAIN(ToolsWiringTest)
#include "qtest_tools.moc"
