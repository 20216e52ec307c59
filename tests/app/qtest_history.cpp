// The history wiring of the main window: the completion poll's save and the "查看历史" button.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "fakeplatform.h"
#include "fetch/services.h"
#include "history/historyviewer.h"
#include "standinfixture.h"

using namespace zorvan;

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

QByteArray historyBytes() {
    QFile f(historyFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes distinct texts into the eighteen result fields and finishes the query's count.
void finishQuery(MainWindow& window, const QString& domain, const QString& tag) {
    window.domainBox()->setEditText(domain);
    for (const QString& name : recordOrderNames()) window.setFieldText(name, name.mid(5) + tag);
    window.state().completedBatchCount = 4;
    window.pollCompletion();
}

}  // namespace

class HistoryWiringTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void completedQueryIsSavedFromTheFields() {
        test::StandinFixture fx;
        test::FakePlatform fake;
        fake.clock = QDateTime(QDate(2012, 3, 4), QTime(10, 0));
        MainWindow window;
        QVERIFY(window.autoSaveBox()->isChecked());
        finishQuery(window, QStringLiteral("d.com"), QStringLiteral("1"));
        const QString expected = S("[d.com]\r\n2012-3-4=slbd1/fxbd1|slgg1/fxgg1|slyh1/fxyh1|slsg1/fxsg1|"
                                   "slss1/fxss1|slby1/fxby1|slyd1/fxyd1|14" "1\r\n");
        QCOMPARE(test::fromGbk(historyBytes()), expected);

        // The same day again replaces the record; without auto-save nothing is written.
        finishQuery(window, QStringLiteral("d.com"), QStringLiteral("2"));
        QCOMPARE(test::fromGbk(historyBytes()).count(S("2012-3-4=")), 1);
        QVERIFY(test::fromGbk(historyBytes()).contains(S("=slbd2/fxbd2|")));
        const QByteArray before = historyBytes();
        window.autoSaveBox()->setChecked(false);
        finishQuery(window, QStringLiteral("e.com"), QStringLiteral("3"));
        QCOMPARE(historyBytes(), before);
        QVERIFY(window.state().resultsReady);
    }

    void historyButtonOpensTheViewerModally() {
        test::StandinFixture fx;
        test::FakePlatform fake;
        {
            QFile f(historyFilePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(test::toGbk(S("[a.com]\r\n2012-3-4=1/2|3/4\r\n[b.com]\r\n2012-3-5=5/6\r\n")));
        }
        MainWindow window;
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
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QVERIFY(modal);
        QCOMPARE(domains, (QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")}));
        QCOMPARE(firstDate, QStringLiteral("2012-3-4"));
    }
};

QTEST_MAIN(HistoryWiringTest)
#include "qtest_history.moc"
