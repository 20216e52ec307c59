#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include "core/services.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "tools/gui/weightwindow.h"
#include "vocab/text.h"

using namespace zorvan;
using test::toGbk;

namespace {

using zorvan::S;
const QString Red = QStringLiteral("<span style=\"color:#F00\">");

// One click's lookup, to its end.
bool lookUp(WeightWindow& window) {
    QSignalSpy ended(&window, &WeightWindow::lookupFinished);
    window.runLookup();
    return ended.wait(30000);
}

QString figures(const QString& count) {
    QString page = S("<html><head><meta charset=\"gb2312\"></head><body><p>丂百度权重值为4，</p>");
    if (!count.isNull()) page += S("<p>累计找到 ") + Red + count + S("</span>个</p>");
    return page + S("<p>流量为：") + Red +
           S("880</span></p><p>快照日期：2010-5-12 收录数：1,234 页</p>");
}

QString rows(int count) {
    QString page = S("<a rel=\"nofollow\">首页</a><td align=\"right\">统计</td>");
    for (int k = 1; k <= count; ++k)
        page +=
            S("<td><a rel=\"nofollow\">关键词%1</a></td><td>第%2位</td><td align=\"right\">%3</td>"
              "<td align=\"right\">%4</td><td><a rel=\"nofollow\">标题%1</a></td>")
                .arg(k)
                .arg(k == 2 ? S("1 3") : QString::number(k))
                .arg(k * 1000)
                .arg(k == 1 ? 2340 : k);
    return page;
}

QStringList rowTexts(QTableWidget* list, int row) {
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c)
        texts.append(list->item(row, c) ? list->item(row, c)->text() : S("<none>"));
    return texts;
}

}  // namespace

class WeightWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void loadsWithInitialTextsAndNames();
    void lookupFillsFiguresAndRanking();
    void figuresOfAPreviousDomainNeverStay();
    void failedFetchStillRebuildsTheList();
    void countSizesTheList();
    void doubleClickSearchesTheKeywordAndTooltipsFollowCells();
};

void WeightWindowTest::loadsWithInitialTextsAndNames() {
    WeightWindow window;
    QCOMPARE(window.objectName(), S("Form17"));
    QCOMPARE(window.windowTitle(), S("Mirelo站长8.6"));
    QCOMPARE(window.queryButton()->text(), S("查 询"));
    QCOMPARE(window.domainBox()->accessibleName(), S("域名"));
    QCOMPARE(window.list()->accessibleName(), S("关键词排名"));
    const QStringList descriptions{S("百度权重"), S("关键词数量"), S("百度流量"), S("百度快照"),
                                   S("百度收录")};
    for (int i = 0; i < 5; ++i) {
        QLabel* label = window.figure(WeightField(i));
        QCOMPARE(label->objectName(), QStringLiteral("Form17.Label%1").arg(i + 2));
        QCOMPARE(label->accessibleDescription(), descriptions[i]);
    }
    QCOMPARE(window.figure(WeightField::Weight)->text(), S("0"));
    QCOMPARE(window.countText(), S("10"));
    QCOMPARE(window.list()->columnCount(), 6);
    QCOMPARE(window.list()->rowCount(), 0);
    QCOMPARE(window.list()->horizontalHeaderItem(5)->text(), S("    页面标题"));
}

void WeightWindowTest::lookupFillsFiguresAndRanking() {
    test::StandinFixture fx;
    fx.services.setRoute(Role::KeywordRank, "/baidu/example.cn",
                         standin::Page{toGbk(figures(S("3")) + rows(3)), 200});
    WeightWindow window;
    window.domainBox()->setText(S("example.cn"));
    window.show();
    QTest::mouseClick(window.queryButton(), Qt::LeftButton);
    QTRY_VERIFY(window.queryButton()->isEnabled());

    QCOMPARE(fx.services.targets(Role::KeywordRank),
             (QList<QByteArray>{"/baidu/example.cn", "/baidu/example.cn"}));
    QCOMPARE(window.figure(WeightField::Weight)->text(), S("4"));
    QCOMPARE(window.figure(WeightField::KeywordCount)->text(), S("共检查到3条"));
    QCOMPARE(window.figure(WeightField::Traffic)->text(), S("百度能给该站带来：880/IP"));
    QCOMPARE(window.figure(WeightField::Snapshot)->text(), S("百度快照：2010-5-12"));
    QCOMPARE(window.figure(WeightField::Indexed)->text(), S("百度收录共：1,234"));
    QCOMPARE(window.countText(), S("3"));

    QTableWidget* list = window.list();
    QCOMPARE(list->horizontalHeaderItem(5)->text(), S("    页面标题      最多列出45条"));
    QCOMPARE(list->columnWidth(5), 270);
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(rowTexts(list, 0), (QStringList{S("1"), S("关键词1"), S("第1位"), S("2340次/日"),
                                             S("1000"), S("标题1")}));
    QCOMPARE(rowTexts(list, 1),
             (QStringList{S("2"), S("关键词2"), S("第1|3位"), S("2次/日"), S("2000"), S("标题2")}));
}

void WeightWindowTest::figuresOfAPreviousDomainNeverStay() {
    test::StandinFixture fx;
    fx.services.setRoute(Role::KeywordRank, "/baidu/a.cn",
                         standin::Page{toGbk(figures(S("12")) + rows(12)), 200});
    fx.services.setRoute(Role::KeywordRank, "/baidu/b.cn",
                         standin::Page{toGbk(S("<p>百度权重值为1，</p>")), 200});
    WeightWindow window;
    window.domainBox()->setText(S("a.cn"));
    QVERIFY(lookUp(window));
    QCOMPARE(window.figure(WeightField::Traffic)->text(), S("百度能给该站带来：880/IP"));
    QCOMPARE(window.list()->rowCount(), 12);

    window.domainBox()->setText(S("b.cn"));
    QVERIFY(lookUp(window));
    QCOMPARE(window.figure(WeightField::Weight)->text(), S("1"));
    for (const WeightField field : {WeightField::KeywordCount, WeightField::Traffic,
                                    WeightField::Snapshot, WeightField::Indexed})
        QCOMPARE(window.figure(field)->text(), QString());
    QCOMPARE(window.countText(), S("10"));
    QCOMPARE(window.list()->rowCount(), 10);
    QCOMPARE(rowTexts(window.list(), 0),
             (QStringList{S("1"), S("1"), S("2"), S("3"), S("4"), S("5")}));
}

void WeightWindowTest::failedFetchStillRebuildsTheList() {
    test::StandinFixture fx(1000);
    fx.services.setFailure(Role::KeywordRank, standin::Failure::NeverAnswer);
    WeightWindow window;
    window.domainBox()->clear();
    QVERIFY(lookUp(window));
    QCOMPARE(fx.services.targets(Role::KeywordRank), (QList<QByteArray>{"/baidu/", "/baidu/"}));
    QCOMPARE(window.figure(WeightField::Weight)->text(), S("0"));
    QCOMPARE(window.list()->rowCount(), 10);
    QCOMPARE(rowTexts(window.list(), 9),
             (QStringList{S("10"), S("1"), S("2"), S("3"), S("4"), S("5")}));
    QCOMPARE(window.list()->horizontalHeaderItem(5)->text(), S("    页面标题      最多列出45条"));
}

void WeightWindowTest::countSizesTheList() {
    test::StandinFixture fx;
    WeightWindow window;
    window.domainBox()->setText(S("x.cn"));
    // Three keywords in a ten-row list: rows 4 to 10 keep their placeholders.
    fx.services.setRoute(Role::KeywordRank, "/",
                         standin::Page{toGbk(figures(QString()) + rows(3)), 200});
    QVERIFY(lookUp(window));
    QCOMPARE(window.list()->rowCount(), 10);
    QCOMPARE(rowTexts(window.list(), 2)[1], S("关键词3"));
    for (int r = 3; r < 10; ++r)
        QCOMPARE(rowTexts(window.list(), r),
                 (QStringList{QString::number(r + 1), S("1"), S("2"), S("3"), S("4"), S("5")}));

    fx.services.setRoute(Role::KeywordRank, "/",
                         standin::Page{toGbk(figures(S("128")) + rows(20)), 200});
    QVERIFY(lookUp(window));
    QCOMPARE(window.figure(WeightField::KeywordCount)->text(), S("共检查到128条"));
    QCOMPARE(window.list()->rowCount(), 15);
    QCOMPARE(rowTexts(window.list(), 14)[1], S("关键词15"));

    fx.services.setRoute(Role::KeywordRank, "/",
                         standin::Page{toGbk(figures(S("0")) + rows(3)), 200});
    QVERIFY(lookUp(window));
    QCOMPARE(window.list()->rowCount(), 0);
    QCOMPARE(window.list()->columnCount(), 6);
}

void WeightWindowTest::doubleClickSearchesTheKeywordAndTooltipsFollowCells() {
    test::StandinFixture fx;
    fx.services.setRoute(Role::KeywordRank, "/",
                         standin::Page{toGbk(figures(S("6")) + rows(6)), 200});
    test::FakePlatform fake;
    WeightWindow window;
    window.resize(800, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(lookUp(window));
    QTableWidget* list = window.list();
    QCOMPARE(list->rowCount(), 6);

    QCOMPARE(list->item(4, 0)->data(Qt::ToolTipRole).toString(), S("5"));
    QCOMPARE(list->item(4, 2)->data(Qt::ToolTipRole).toString(), S("第5位  双击查看"));

    const QPoint onTitle = list->visualRect(list->model()->index(1, 5)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onTitle);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onTitle);
    QCOMPARE(fake.opened.size(), 1);
    QCOMPARE(fake.opened.first().host(), S("127.0.0.1"));
    QCOMPARE(fake.opened.first().port(), fx.services.port(Role::Baidu));
    QCOMPARE(fake.opened.first().path(), S("/s"));
    QCOMPARE(fake.opened.first().query(QUrl::FullyDecoded), S("wd=关键词2"));

    const QPoint below(20, list->visualRect(list->model()->index(5, 0)).bottom() + 20);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
    QCOMPARE(fake.opened.size(), 1);
}

QTEST_MAIN(WeightWindowTest)
#include "qtest_weight_window.moc"
