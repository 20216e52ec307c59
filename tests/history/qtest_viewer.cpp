// The history viewer on the offscreen platform: real files, real widgets, a real workbook.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "fakeplatform.h"
#include "history/gui/historyviewer.h"
#include "history/historyexport.h"
#include "history/historyfile.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::fromGbk;
using test::toGbk;

namespace {

using zorvan::S;

QStringList L(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* t : texts) list.append(QString::fromUtf8(t));
    return list;
}

QString rec(const QString& date, const QString& tag) {
    QString r = date + u'=';
    for (int i = 1; i <= 7; ++i)
        r += tag + QString::number(i) + QStringLiteral("/b") + QString::number(i) + u'|';
    return r + tag + QStringLiteral("alexa");
}

// Three sections; b.com has blank lines inside, c.com is the last one.
QString threeSections() {
    return QStringLiteral("[a.com]\r\n") + rec(QStringLiteral("2010-5-1"), QStringLiteral("a")) +
           crlf + QStringLiteral("[b.com]\r\n\r\n") +
           rec(QStringLiteral("2010-5-1"), QStringLiteral("b")) + QStringLiteral("\r\n\r\n") +
           rec(QStringLiteral("2010-5-2"), QStringLiteral("b")) + crlf +
           rec(QStringLiteral("2010-5-3"), QStringLiteral("b")) + crlf +
           QStringLiteral("[c.com]\r\n") + rec(QStringLiteral("2010-5-9"), QStringLiteral("c")) +
           crlf;
}

// A minimal reader of the workbook's parts, through the system's unzip.
struct Workbook {
    struct Cell {
        int style = 0;
        bool hasValue = false;
        QString text;
    };
    struct Column {
        int min = 0, max = 0;
        double width = 0;
        int style = 0;
    };
    struct Xf {
        int font = 0;
        QString horizontal, vertical;
    };
    QHash<QString, Cell> cells;
    QList<Column> columns;
    QList<Xf> xfs;
    QStringList fontColours;

    static QByteArray part(const QString& path, const QString& name) {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, name});
        unzip.waitForFinished(20000);
        return unzip.readAllStandardOutput();
    }

    explicit Workbook(const QString& path) {
        QStringList shared;
        QXmlStreamReader ss(part(path, QStringLiteral("xl/sharedStrings.xml")));
        while (!ss.atEnd())
            if (ss.readNext() == QXmlStreamReader::StartElement && ss.name() == u"t")
                shared.append(ss.readElementText());

        QXmlStreamReader st(part(path, QStringLiteral("xl/styles.xml")));
        bool inFonts = false, inXfs = false;
        while (!st.atEnd()) {
            const auto token = st.readNext();
            const auto name = st.name();
            if (token == QXmlStreamReader::EndElement) {
                if (name == u"fonts") inFonts = false;
                if (name == u"cellXfs") inXfs = false;
                continue;
            }
            if (token != QXmlStreamReader::StartElement) continue;
            const auto a = st.attributes();
            if (name == u"fonts")
                inFonts = true;
            else if (name == u"cellXfs")
                inXfs = true;
            else if (inFonts && name == u"font")
                fontColours.append(QString());
            else if (inFonts && name == u"color")
                fontColours.last() = a.value(QLatin1String("rgb")).toString();
            else if (inXfs && name == u"xf")
                xfs.append(Xf{a.value(QLatin1String("fontId")).toInt(), {}, {}});
            else if (inXfs && name == u"alignment") {
                xfs.last().horizontal = a.value(QLatin1String("horizontal")).toString();
                xfs.last().vertical = a.value(QLatin1String("vertical")).toString();
            }
        }

        QXmlStreamReader sh(part(path, QStringLiteral("xl/worksheets/sheet1.xml")));
        QString current;
        while (!sh.atEnd()) {
            if (sh.readNext() != QXmlStreamReader::StartElement) continue;
            const auto a = sh.attributes();
            if (sh.name() == u"col") {
                columns.append(Column{a.value(QLatin1String("min")).toInt(),
                                      a.value(QLatin1String("max")).toInt(),
                                      a.value(QLatin1String("width")).toDouble(),
                                      a.value(QLatin1String("style")).toInt()});
            } else if (sh.name() == u"c") {
                current = a.value(QLatin1String("r")).toString();
                cells[current].style = a.value(QLatin1String("s")).toInt();
            } else if (sh.name() == u"v") {
                cells[current].hasValue = true;
                cells[current].text = shared.value(sh.readElementText().toInt());
            }
        }
    }

    bool centred(int style) const {
        return style < xfs.size() && xfs[style].horizontal == u"center" &&
               xfs[style].vertical == u"center";
    }
    QString colour(int style) const {
        return style < xfs.size() ? fontColours.value(xfs[style].font) : QString();
    }
};

}  // namespace

class ViewerTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path;

    void put(const QString& text) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(toGbk(text));
    }
    QString fileText() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? fromGbk(f.readAll()) : QStringLiteral("<none>");
    }
    static QStringList chooserItems(const HistoryViewer& v) {
        QStringList items;
        for (int i = 0; i < v.chooser()->count(); ++i) items.append(v.chooser()->itemText(i));
        return items;
    }
    static QString cell(const HistoryViewer& v, int r, int c) {
        const QTableWidgetItem* item = v.grid()->item(r, c);
        return item ? item->text() : QString();
    }
    // The file is read off the window thread: the viewer is filled once the reading is back.
    static void settle(const HistoryViewer& v) { QTRY_VERIFY(!v.isLoading()); }
    static void choose(HistoryViewer& v, int index) {
        v.chooser()->setCurrentIndex(index);
        Q_EMIT v.chooser()->activated(index);
        settle(v);
    }
    static QStringList column(const HistoryViewer& v, int c) {
        QStringList texts;
        for (int r = 1; r < v.grid()->rowCount(); ++r) texts.append(cell(v, r, c));
        return texts;
    }

  private Q_SLOTS:
    void init() {
        path = dir.filePath(QStringLiteral("history.txt"));
        QFile::remove(path);
    }

    void layoutAndNamesOfTheWindow() {
        HistoryViewer v(path);
        settle(v);
        QCOMPARE(v.objectName(), QStringLiteral("Form4"));
        QCOMPARE(v.windowTitle(), S("查看历史"));
        QCOMPARE(v.chooser()->accessibleName(), S("域名"));
        QCOMPARE(v.grid()->accessibleName(), S("历史记录"));
        QCOMPARE(v.grid()->columnCount(), 10);
        QStringList headers;
        for (int c = 0; c < 10; ++c) headers.append(cell(v, 0, c));
        QCOMPARE(headers, (QStringList{QString(), S("日期"), S("百度"), S("谷歌"), S("雅虎"),
                                       S("搜狗"), S("搜搜"), S("必应"), S("有道"), S("ALEAX")}));
        const int dpi = v.logicalDpiX();
        QCOMPARE(v.grid()->columnWidth(0), qRound(300 * dpi / 1440.0));
        for (int c = 1; c < 10; ++c)
            QCOMPARE(v.grid()->columnWidth(c), qRound(1300 * dpi / 1440.0));
        QCOMPARE(v.grid()->rowHeight(0), qRound(400 * v.logicalDpiY() / 1440.0));
        QCOMPARE(int(v.grid()->item(0, 3)->textAlignment()), int(Qt::AlignCenter));
        // An empty file: no domain, two rows, row 1 numbered and otherwise empty, corner empty.
        QCOMPARE(v.chooser()->count(), 0);
        QCOMPARE(v.grid()->rowCount(), 2);
        QCOMPARE(cell(v, 1, 0), QStringLiteral("1"));
        QCOMPARE(cell(v, 1, 1), QString());
        QCOMPARE(cell(v, 0, 0), QString());
    }

    void chooserOrderRowsAndSwitching() {
        put(QStringLiteral("  ") + threeSections() + QStringLiteral("[b.com]\r\n[e.com]"));
        HistoryViewer v(path);
        settle(v);
        QCOMPARE(chooserItems(v), (QStringList{QStringLiteral("a.com"), QStringLiteral("b.com"),
                                               QStringLiteral("c.com"), QStringLiteral("b.com"),
                                               QStringLiteral("e.com")}));
        // The first domain is on screen at once; the corner now shows "0".
        QCOMPARE(v.grid()->rowCount(), 2);
        QCOMPARE(cell(v, 0, 0), QStringLiteral("0"));
        QCOMPARE(cell(v, 1, 1), QStringLiteral("2010-5-1"));
        QCOMPARE(cell(v, 1, 9), QStringLiteral("aalexa"));

        choose(v, 1);  // blank lines inside the section make no rows
        QCOMPARE(v.grid()->rowCount(), 4);
        QCOMPARE(column(v, 0), L({"1", "2", "3"}));
        QCOMPARE(column(v, 1), L({"2010-5-1", "2010-5-2", "2010-5-3"}));
        QCOMPARE(column(v, 2), QStringList(3, QStringLiteral("b1/b1")));
        QCOMPARE(column(v, 8), QStringList(3, QStringLiteral("b7/b7")));
        QVERIFY(v.deleteButton()->isEnabled());

        choose(v, 2);  // the last section, followed only by the final line break
        QCOMPARE(v.grid()->rowCount(), 2);
        QCOMPARE(cell(v, 1, 1), QStringLiteral("2010-5-9"));
        QCOMPARE(cell(v, 1, 2), QStringLiteral("c1/b1"));
        for (int c = 0; c < 10; ++c) QVERIFY(v.grid()->item(2, c) == nullptr);

        choose(v, 4);  // a header right before the end, and a header followed by a header
        QCOMPARE(v.grid()->rowCount(), 1);
        put(QStringLiteral("[x]\r\n[y]\r\nr\r\n"));
        choose(v, 1);  // the file changed since the window opened: b.com is gone
        QCOMPARE(v.grid()->rowCount(), 1);
    }

    void shortRecordsLeaveEmptyCells() {
        put(QStringLiteral("[d]\r\n2010-1-1=1/2|3/4\r\nbroken\r\n"));
        HistoryViewer v(path);
        settle(v);
        QCOMPARE(v.grid()->rowCount(), 3);
        QCOMPARE(cell(v, 1, 3), QStringLiteral("3/4"));
        QCOMPARE(cell(v, 1, 4), QString());
        QCOMPARE(cell(v, 2, 1), QStringLiteral("broken"));
        QCOMPARE(cell(v, 2, 2), QString());
    }

    void deleteFirstMiddleAndLast_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expected");
        const QString a = QStringLiteral("[a.com]\r\n") +
                          rec(QStringLiteral("2010-5-1"), QStringLiteral("a")) + crlf;
        const QString b = QStringLiteral("[b.com]\r\n") +
                          rec(QStringLiteral("2010-5-1"), QStringLiteral("b")) + crlf +
                          rec(QStringLiteral("2010-5-2"), QStringLiteral("b")) + crlf +
                          rec(QStringLiteral("2010-5-3"), QStringLiteral("b")) + crlf;
        const QString c = QStringLiteral("[c.com]\r\n") +
                          rec(QStringLiteral("2010-5-9"), QStringLiteral("c")) + crlf;
        QTest::newRow("first") << 0 << b + c + crlf;
        QTest::newRow("middle") << 1 << a + c + crlf;
        QTest::newRow("last") << 2 << a + b + crlf;
    }

    void deleteFirstMiddleAndLast() {
        QFETCH(int, index);
        QFETCH(QString, expected);
        put(threeSections());
        test::FakePlatform platform;
        HistoryViewer v(path);
        settle(v);
        choose(v, index);
        const QString domain = v.chooser()->currentText();
        v.deleteButton()->click();
        settle(v);
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages[0].title, S("询问"));
        QCOMPARE(platform.messages[0].text, S("确定删除") + domain + S("的历史数据?"));
        QCOMPARE(platform.messages[0].buttons, MessageButtons::OkCancel);
        QCOMPARE(platform.messages[0].icon, MessageIcon::Question);
        QCOMPARE(fileText(), expected);
        QVERIFY(!chooserItems(v).contains(domain));
        QCOMPARE(v.chooser()->currentIndex(), 0);
        QCOMPARE(cell(v, 1, 9), v.chooser()->currentText().left(1) + QStringLiteral("alexa"));
        QVERIFY(v.deleteButton()->isEnabled());
    }

    void cancelLeavesTheFileByteForByte() {
        const QByteArray before = toGbk(QStringLiteral("[a.com]\r\n\r\nr1\r\n\r\n"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
        f.close();
        test::FakePlatform platform;
        platform.answers.enqueue(MessageAnswer::Cancel);
        HistoryViewer v(path);
        settle(v);
        v.deleteButton()->click();
        settle(v);
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QCOMPARE(chooserItems(v), QStringList{QStringLiteral("a.com")});
    }

    void suffixDomainDeletesOnlyItsOwnSection() {
        put(QStringLiteral("[www.b.com]\r\nr1\r\n[b.com]\r\nr2\r\n[xb.com]\r\nr3\r\n"));
        test::FakePlatform platform;
        HistoryViewer v(path);
        settle(v);
        choose(v, 1);
        QCOMPARE(v.chooser()->currentText(), QStringLiteral("b.com"));
        v.deleteButton()->click();
        settle(v);
        QCOMPARE(fileText(), QStringLiteral("[www.b.com]\r\nr1\r\n[xb.com]\r\nr3\r\n\r\n"));
        QCOMPARE(chooserItems(v),
                 (QStringList{QStringLiteral("www.b.com"), QStringLiteral("xb.com")}));
    }

    void lastSectionDeletedLeavesAnEmptyChooser() {
        put(QStringLiteral("[a.com]\r\nr1\r\n"));
        test::FakePlatform platform;
        HistoryViewer v(path);
        settle(v);
        v.deleteButton()->click();
        settle(v);
        QCOMPARE(fileText(), QStringLiteral("\r\n"));
        QCOMPARE(v.chooser()->count(), 0);
        QCOMPARE(v.grid()->rowCount(), 1);
        QVERIFY(v.deleteButton()->isEnabled());
        // Once more: an empty domain text is asked about and nothing changes.
        v.deleteButton()->click();
        settle(v);
        QCOMPARE(platform.messages.last().text, S("确定删除的历史数据?"));
        QCOMPARE(fileText(), QStringLiteral("\r\n"));
        // Neither does a domain whose section went away meanwhile.
        put(QStringLiteral("[b.com]\r\n\r\nr\r\n"));
        QVERIFY(!DeleteDomainHistory(path, QStringLiteral("a.com")));
        QCOMPARE(fileText(), QStringLiteral("[b.com]\r\n\r\nr\r\n"));
    }

    void exportWritesTheTableAsShown() {
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        QTemporaryDir tmp;
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        put(QStringLiteral("[d.com]\r\n2010-5-1=1/2|3/4|5/6|7/8|9/10|11/12|13/14|99\r\n2010-5-2=") +
            S("丂/约|") + QStringLiteral("\r\n"));
        test::FakePlatform platform;
        HistoryViewer v(path);
        settle(v);
        QVERIFY(v.ExportToExcel());
        qunsetenv("TMPDIR");
        QCOMPARE(platform.messages.size(), 0);
        QCOMPARE(platform.opened.size(), 1);
        const QString file = platform.opened[0].toLocalFile();
        QCOMPARE(QFileInfo(file).absolutePath(), QFileInfo(tmp.path()).absoluteFilePath());
        QVERIFY(file.endsWith(QStringLiteral(".xlsx")));

        const Workbook book(file);
        // Widths 5, 11, seven times 17 and 8 (the file adds the cell padding), then the rest of
        // the sheet; every column centred.
        const QList<QPair<int, double>> widths{{1, 5}, {2, 11}, {3, 17}, {9, 17}, {10, 8}};
        for (const auto& [col, width] : widths) {
            const auto it = std::find_if(
                book.columns.cbegin(), book.columns.cend(),
                [col](const Workbook::Column& c) { return c.min <= col && col <= c.max; });
            QVERIFY(it != book.columns.cend());
            QVERIFY2(qAbs(it->width - width - 0.7109375) < 0.01,
                     qPrintable(QString::number(it->width)));
        }
        QCOMPARE(book.columns.last().max, 16384);
        for (const auto& c : book.columns) QVERIFY(book.centred(c.style));

        const QStringList expected[] = {
            L({"0", "日期", "百度", "谷歌", "雅虎", "搜狗", "搜搜", "必应", "有道", "ALEAX"}),
            L({"1", "2010-5-1", "1/2", "3/4", "5/6", "7/8", "9/10", "11/12", "13/14", "99"}),
            L({"2", "2010-5-2", "丂/约", "", "", "", "", "", "", ""})};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 10; ++c) {
                const QString ref = QChar(u'A' + c) + QString::number(r + 1);
                const QString want = expected[r][c];
                const Workbook::Cell got = book.cells.value(ref);
                QVERIFY2(got.hasValue == !want.isEmpty(), qPrintable(ref));
                QCOMPARE(got.text, want);
                if (book.cells.contains(ref)) QVERIFY2(book.centred(got.style), qPrintable(ref));
                if (r == 0)
                    QCOMPARE(book.colour(got.style), QStringLiteral("FFFF0000"));
                else if (book.cells.contains(ref))
                    QVERIFY(book.colour(got.style) != QStringLiteral("FFFF0000"));
            }
        }
        QVERIFY(!book.cells.contains(QStringLiteral("A4")) &&
                !book.cells.contains(QStringLiteral("K1")));
    }

    void exportOfAFreshTableLeavesA1EmptyButRed() {
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        QTemporaryDir tmp;
        const QString file = tmp.filePath(QStringLiteral("fresh.xlsx"));
        HistoryViewer v(path);  // empty file: the corner was never renumbered
        QString error;
        QVERIFY(writeHistoryWorkbook(v.gridTexts(), file, &error));
        const Workbook book(file);
        QVERIFY(book.cells.contains(QStringLiteral("A1")));
        QVERIFY(!book.cells[QStringLiteral("A1")].hasValue);
        QCOMPARE(book.colour(book.cells[QStringLiteral("A1")].style), QStringLiteral("FFFF0000"));
        QCOMPARE(book.cells[QStringLiteral("A2")].text, QStringLiteral("1"));
        QVERIFY(!book.cells.contains(QStringLiteral("B2")));
    }

    void exportErrorsShowTheMessageWithOnlyOk() {
        // A cell longer than a workbook can hold.
        put(QStringLiteral("[d.com]\r\n2010-5-1=") + QString(40000, u'9') + QStringLiteral("\r\n"));
        QTemporaryDir tmp;
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        test::FakePlatform platform;
        HistoryViewer v(path);
        settle(v);
        v.exportButton()->click();
        qunsetenv("TMPDIR");
        QCOMPARE(platform.opened.size(), 0);
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages[0].buttons, MessageButtons::Ok);
        QCOMPARE(platform.messages[0].icon, MessageIcon::None);
        QVERIFY(platform.messages[0].text.contains(QStringLiteral("32,767")));
        QVERIFY(!v.ExportToExcel());
        // Nothing half-written is left behind.
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files), QStringList());

        QString error;
        QVERIFY(!writeHistoryWorkbook(v.gridTexts(),
                                      tmp.filePath(QStringLiteral("no/such/folder.xlsx")), &error));
        QVERIFY(!error.isEmpty());
    }

    void controlCharactersAreBlankedForTheWorkbook() {
        QCOMPARE(workbookText(QStringLiteral("a\tb\x01"
                                             "c\rd")),
                 QStringLiteral("a b c d"));
        QCOMPARE(workbookText(S("丂/约")), S("丂/约"));
    }
};

QTEST_MAIN(ViewerTest)
#include "qtest_viewer.moc"
