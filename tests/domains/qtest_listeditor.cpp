#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "domains/domainlist.h"
#include "domains/gui/listeditor.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {
using zorvan::S;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

class ListEditorTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    QString config() const { return dir_.filePath(QStringLiteral("config.ini")); }
    void saveList(const QString& value) { QVERIFY(writeDomainListValue(config(), value)); }

  private Q_SLOTS:
    void init() { QFile::remove(config()); }

    void showsTheWindowAndTheSavedListOnePerLine() {
        saveList(S("a.com,中文.cn, c.com "));
        ListEditor editor(config());
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(editor.objectName(), QStringLiteral("Form3"));
        QCOMPARE(editor.windowTitle(), S("Zorvan站长工具箱"));
        QVERIFY(editor.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(editor.isModal());
        auto* hint = editor.findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(hint);
        QCOMPARE(hint->text(), S("设置常用域名，一行一个，字母小写。"));
        QCOMPARE(editor.saveButton()->text(), S("保 存 域 名  (不带http://)"));
        QCOMPARE(editor.textBox()->accessibleName(), S("常用域名"));
        // Blanks around the whole value are not part of it; those inside it are.
        QCOMPARE(editor.textBox()->toPlainText(), S("a.com\n中文.cn\n c.com"));
        const QRect screen = editor.screen()->geometry();
        QVERIFY(qAbs(editor.frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(editor.frameGeometry().center().y() - screen.center().y()) <= 1);
    }

    void savingWritesTheKeptLinesAndCloses() {
        ListEditor editor(config());
        QSignalSpy saved(&editor, &ListEditor::saved);
        editor.show();
        editor.textBox()->setPlainText(S("first.com\n\n  \n  second.cn \n丂.com"));
        QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.first().first().toBool(), true);
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QVERIFY(!editor.isVisible());
        QCOMPARE(fileBytes(config()), QByteArray("[section]\r\nurl=first.com,  second.cn ,") +
                                          test::toGbk(S("丂.com")) + "\r\n");
    }

    void blankLinesOnlySaveTheEmptyValue() {
        saveList(S("a.com,b.com"));
        ListEditor editor(config());
        editor.show();
        editor.textBox()->setPlainText(S("\n   \n"));
        QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
        QCOMPARE(fileBytes(config()), QByteArray("[section]\r\nurl=\r\n"));
        QVERIFY(readDomainList(config()).isEmpty());
    }

    void emptyTextWarnsAndKeepsTheWindowOpen() {
        saveList(S("a.com"));
        test::FakePlatform fake;
        ListEditor editor(config());
        QSignalSpy saved(&editor, &ListEditor::saved);
        editor.show();
        editor.textBox()->clear();
        QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
        QCOMPARE(fake.messages.size(), 1);
        QCOMPARE(fake.messages.first().text, S("地址不能为空"));
        QCOMPARE(fake.messages.first().icon, MessageIcon::None);
        QCOMPARE(fake.messages.first().buttons, MessageButtons::Ok);
        QVERIFY(editor.isVisible());
        QCOMPARE(saved.size(), 0);
        QCOMPARE(readDomainList(config()), QStringList{S("a.com")});
    }

    void closingTheWindowSavesNothing() {
        saveList(S("a.com"));
        const QByteArray before = fileBytes(config());
        ListEditor editor(config());
        QSignalSpy saved(&editor, &ListEditor::saved);
        editor.show();
        editor.textBox()->setPlainText(S("b.com"));
        editor.close();
        QCOMPARE(saved.size(), 0);
        QCOMPARE(fileBytes(config()), before);
    }

    void missingFileStartsEmptyAndIsCreated() {
        ListEditor editor(config());
        QVERIFY(editor.textBox()->toPlainText().isEmpty());
        editor.textBox()->setPlainText(S("a.com"));
        editor.saveDomainList();
        QCOMPARE(fileBytes(config()), QByteArray("[section]\r\nurl=a.com\r\n"));
    }
};

QTEST_MAIN(ListEditorTest)
#include "qtest_listeditor.moc"
