#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "core/services.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "tools/backlink.h"
#include "tools/gui/backlinkwindow.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {

using zorvan::S;

QByteArray page(const QString& total, int first, int count) {
    QString text = S("<p>共 <strong>") + total + S("</strong> 条</p>\n");
    for (int n = first; n < first + count; ++n)
        text += S("%1. <a href=\"http://page-%1.example.cn/a.html\">页面%1</a>\n").arg(n);
    return text.toUtf8();
}

// A cell as collected (each match followed by CR LF); the row shows it on one line.
QString cell(QTableView* list, int row, int column) {
    const QModelIndex index = list->model()->index(row, column);
    const QString kept = index.data(Qt::UserRole).toString();
    if (index.data().toString() !=
        QString(kept).replace(QStringLiteral("\r\n"), QStringLiteral("  ")).trimmed())
        return QStringLiteral("<shown differently>");
    return kept;
}
QString header(QTableView* list, int column) {
    return list->model()->headerData(column, Qt::Horizontal).toString();
}
int rows(QTableView* list) {
    return list->model()->rowCount();
}

QPoint cellCenter(QTableView* list, int row, int column) {
    return list->visualRect(list->model()->index(row, column)).center();
}

}  // namespace

class BacklinkWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void loadsWithHeadersAndNoRows();
    void queryListsEveryPageAndSummarises();
    void anyMouseButtonShowsTheWaitText();
    void firstPageWithoutTotalShowsTheHint();
    void doubleClickOpensTheRowsAddress();
    void listGrowsWhileTheWalkRuns();
};

void BacklinkWindowTest::loadsWithHeadersAndNoRows() {
    BacklinkWindow window;
    QCOMPARE(window.objectName(), S("Form5"));
    QCOMPARE(window.list()->accessibleName(), S("外链页面"));
    QCOMPARE(window.domainBox()->accessibleName(), S("域名"));
    QCOMPARE(window.statusLine()->accessibleDescription(), S("查询状态"));
    QCOMPARE(window.queryButton()->text(), S("查  询"));
    QCOMPARE(rows(window.list()), 0);
    QCOMPARE(window.list()->model()->columnCount(), 3);
    QCOMPARE(header(window.list(), 1), S("  网络带外链的页面（最多列出1000条）"));
    QCOMPARE(header(window.list(), 2), S("          页面名字"));
    QCOMPARE(window.list()->columnWidth(0), 40);
    QVERIFY(window.statusLine()->text().isEmpty());
}

void BacklinkWindowTest::queryListsEveryPageAndSummarises() {
    test::StandinFixture fx;
    const QByteArray prefix = "/search?p=http%3A%2F%2Fexample.cn&bwm=i&bwmo=d&b=";
    fx.services.setRoute(Role::Yahoo, prefix + "1", standin::Page{page(S("75"), 1, 3), 200});
    fx.services.setRoute(Role::Yahoo, prefix + "5", standin::Page{page(S("75"), 51, 2), 200});
    fx.services.setRoute(
        Role::Yahoo, prefix + "10",
        standin::Page{S("1. <a href=\"http://快照.cn\">百度快照</a>").toUtf8(), 200});
    BacklinkWindow window;
    window.domainBox()->setText(S("example.cn"));
    window.show();
    QTest::mouseClick(window.queryButton(), Qt::LeftButton);
    QTRY_VERIFY(window.queryButton()->isEnabled());

    // Offset 1 (3 entries), 51 (2), 101 (only a snapshot: nothing).
    QCOMPARE(fx.services.targets(Role::Yahoo).size(), 4);
    QTableView* list = window.list();
    QCOMPARE(rows(list), 5);
    QCOMPARE(window.statusLine()->text(),
             S("网络中共75个页面有该站链接。  最多列出1000条！   当前已列出5条"));
    QCOMPARE(cell(list, 0, 0), S("1"));
    QCOMPARE(cell(list, 0, 1), S("http://page-1.example.cn/a.html\r\n"));
    QCOMPARE(cell(list, 0, 2), S("页面1\r\n"));
    QCOMPARE(cell(list, 4, 0), S("5"));
    QCOMPARE(cell(list, 4, 1), S("http://page-52.example.cn/a.html\r\n"));
    QCOMPARE(header(list, 0), S("序号"));
    QCOMPARE(list->columnWidth(2), 350);
    QVERIFY(!(list->model()->index(0, 1).flags() & Qt::ItemIsEditable));
}

void BacklinkWindowTest::anyMouseButtonShowsTheWaitText() {
    test::StandinFixture fx;
    fx.services.setRoute(Role::Yahoo, "/", standin::Page{page(S("10"), 1, 1), 200});
    BacklinkWindow window;
    window.show();
    QTest::mousePress(window.queryButton(), Qt::RightButton);
    QCOMPARE(window.statusLine()->text(), S("查询中，请等待..."));
    // Only a left click starts a query.
    QTest::mouseRelease(window.queryButton(), Qt::RightButton);
    QVERIFY(!window.listing().isRunning());
    QCOMPARE(fx.services.targets(Role::Yahoo).size(), 0);
    QCOMPARE(window.statusLine()->text(), S("查询中，请等待..."));
}

void BacklinkWindowTest::firstPageWithoutTotalShowsTheHint() {
    test::StandinFixture fx;
    fx.services.setRoute(Role::Yahoo, "/", standin::Page{page(S("75"), 1, 2), 200});
    BacklinkWindow window;
    window.show();
    window.runQuery();
    QTRY_VERIFY(!window.listing().isRunning());
    QCOMPARE(rows(window.list()), 6);
    // The next query finds no total: the old rows go and the summary says to try again.
    fx.services.setRoute(Role::Yahoo, "/", standin::Page{QByteArray("<html>busy</html>"), 200});
    window.runQuery();
    QTRY_VERIFY(window.queryButton()->isEnabled());
    QCOMPARE(rows(window.list()), 0);
    QCOMPARE(window.statusLine()->text(), NoResultHint);
    QVERIFY(window.queryButton()->isEnabled());
}

void BacklinkWindowTest::doubleClickOpensTheRowsAddress() {
    test::StandinFixture fx;
    fx.services.setRoute(Role::Yahoo, "/",
                         standin::Page{(S("<p>共 <strong>2</strong>") +
                                        S("1. <a href=\"http://one.example.cn/x.html\">一</a>\n") +
                                        S("2. <a href=\"/no-address\">二</a>\n"))
                                           .toUtf8(),
                                       200});
    test::FakePlatform fake;
    BacklinkWindow window;
    window.resize(800, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.runQuery();
    QTRY_VERIFY(!window.listing().isRunning());
    QTableView* list = window.list();
    QCOMPARE(rows(list), 2);

    // Any column of a row reaches that row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cellCenter(list, 0, 2));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cellCenter(list, 0, 2));
    QCOMPARE(fake.openedAddresses(), QStringList{S("http://one.example.cn/x.html")});
    // A row whose address cell reads "匹配失败" opens nothing; neither does the space below the
    // rows.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cellCenter(list, 1, 0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cellCenter(list, 1, 0));
    const QPoint below(20, list->visualRect(list->model()->index(1, 0)).bottom() + 20);
    QVERIFY(list->indexAt(below).row() < 0);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
    QCOMPARE(fake.opened.size(), 1);
}

void BacklinkWindowTest::listGrowsWhileTheWalkRuns() {
    test::StandinFixture fx;
    fx.services.setRoute(Role::Yahoo, "/", standin::Page{page(S("125"), 1, 5), 200});
    fx.services.setLatency(Role::Yahoo, 60);
    BacklinkWindow window;
    window.show();
    QList<int> seen;
    connect(window.list()->model(), &QAbstractItemModel::modelReset, this,
            [&] { seen.append(rows(window.list())); });
    QTest::mouseClick(window.queryButton(), Qt::LeftButton);
    QTRY_VERIFY(!window.listing().isRunning());
    QCOMPARE(seen, (QList<int>{5, 10, 15}));
    QCOMPARE(rows(window.list()), 15);
}

QTEST_MAIN(BacklinkWindowTest)
#include "qtest_backlink_window.moc"
