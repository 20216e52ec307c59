// Rules a user updates, as the main window uses them, and the service check window.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "app/mainwindow.h"
#include "core/services.h"
#include "engines/queryengine.h"
#include "tools/gui/checkwindow.h"
#include "tools/gui/weightwindow.h"
#include "vocab/text.h"
#include "windowfixture.h"

using namespace zorvan;

namespace {

using zorvan::S;

}  // namespace

class ServiceCheckTest : public QObject, public test::WindowFixture {
    Q_OBJECT

  private Q_SLOTS:
    void init() {
        prepare();
        loadSamplePages();
        fx->services.setFailure(Role::Youdao, standin::Failure::Refuse);
        fx->services.setRoute(Role::Google, "/search?hl=zh-CN&q=site%3A",
                              S("<html>nothing</html>"));
        open();
        window->autoSaveBox()->setChecked(false);
        window->domainBox()->setEditText(S("sample.net"));
    }
    void cleanup() { close(); }

    // The query and the field's link follow the rule; a field showing "X" says why.
    void anOverrideChangesWhatAFieldShows() {
        QFile rules(fx->homeFile(S("rules.json")));
        QVERIFY(rules.open(QIODevice::WriteOnly));
        rules.write(
            "{\"indexed.bing\": {\"url\": \"http://{host:bing}/new?s={domain}&x=1\", "
            "\"start\": \"<b>\", \"end\": \"</b>\"}}");
        rules.close();
        fx->services.setRoute(Role::Bing, "/new?s=sample.net&x=1", S("<b>777</b>"));
        QVERIFY(query(S("sample.net")));

        QCOMPARE(window->figure(Figure::IndexedBing), S("777"));
        QCOMPARE(window->figure(Figure::IndexedYoudao), NotFoundMark);
        QCOMPARE(window->figureField(Figure::IndexedYoudao)->toolTip(),
                 S("服务无应答（连接被拒绝）\n规则：indexed.youdao"));
        QCOMPARE(window->figureField(Figure::IndexedGoogle)->toolTip(),
                 S("页面中没有找到标记：找到\n规则：indexed.google"));
        QCOMPARE(window->figureField(Figure::IndexedBing)->toolTip(), S("点击查看详情"));
        QTest::mouseClick(window->figureField(Figure::IndexedBing), Qt::LeftButton);
        QCOMPARE(fake->openedAddresses(),
                 QStringList{serviceBase(Role::Bing) + S("/new?s=sample.net&x=1")});
    }

    void theCheckWindowShowsEveryRuleColouredByVerdict() {
        window->findChild<QPushButton*>(S("Command9"))->click();
        window->findChild<QPushButton*>(S("CheckButton"))->click();
        auto* check = window->hostArea()->findChild<CheckWindow*>();
        QVERIFY(check && check->isVisible());
        QVERIFY(!window->hostArea()->findChild<WeightWindow*>()->isVisible());
        QTableWidget* table = check->table();
        QCOMPARE(table->accessibleName(), S("服务检查"));
        QCOMPARE(table->rowCount(), FigureCount);
        QTRY_VERIFY_WITH_TIMEOUT(!check->isRunning(), 20000);

        QHash<QString, QColor> colours;
        for (int row = 0; row < table->rowCount(); ++row)
            colours[table->item(row, 0)->text()] = table->item(row, 1)->background().color();
        QCOMPARE(colours[S("indexed.bing")], CheckWindow::verdictColour(Verdict::Ok));
        QCOMPARE(colours[S("indexed.google")], CheckWindow::verdictColour(Verdict::NotFound));
        QCOMPARE(colours[S("backlinks.youdao")], CheckWindow::verdictColour(Verdict::NoAnswer));
        QVERIFY(CheckWindow::verdictColour(Verdict::Ok) !=
                CheckWindow::verdictColour(Verdict::NotFound));

        check->returnButton()->click();
        QVERIFY(!window->hostArea()->isVisible());
    }
};

QTEST_MAIN(ServiceCheckTest)
#include "qtest_servicecheck.moc"
