// report --html, loaded in Debian's Chromium as a person would open it: every domain has its row
// and its page, and every chart is there once the page's script has run.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "clirunner.h"
#include "core/platform.h"
#include "standinfixture.h"
#include "tools/htmlreport.h"
#include "vocab/text.h"

using namespace zorvan;
using zorvan::S;

class HtmlReportTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;

    // The DOM after the page's scripts ran.
    QString dom(const QString& page) {
        QProcess chromium;
        chromium.start(S("chromium"), {S("--headless"), S("--no-sandbox"), S("--disable-gpu"),
                                       S("--virtual-time-budget=3000"), S("--dump-dom"),
                                       QUrl::fromLocalFile(page).toString()});
        if (!chromium.waitForFinished(60000)) return QString();
        return QString::fromUtf8(chromium.readAllStandardOutput());
    }

  private Q_SLOTS:
    void everyDomainAndChartIsInTheBrowsersPage() {
        if (QStandardPaths::findExecutable(S("chromium")).isEmpty())
            QSKIP("chromium is not installed (scripts/zorvan installs it)");
        // A code page 936-only character, a domain that dropped on its last day, markup in a
        // name, "X" in every record, and a domain without records.
        const QStringList domains = {S("丂.example"), S("drop.example"), S("odd<&>.example")};
        QString text;
        for (const QString& d : domains) {
            text += u'[' + d + S("]\r\n");
            for (int day = 0; day < 40; ++day) {
                const int n = d.startsWith(u'd') && day == 39 ? 100 : 1000 + day;
                text += shortDate(QDate(2026, 10, 1).addDays(day)) +
                        S("=约%1/%2|X/7|3/3|4/4|5/5|6/6|7/7|%3\r\n").arg(n).arg(n / 10).arg(day);
            }
        }
        text += S("[empty.example]\r\n");
        QVERIFY(test::writeFile(home.filePath(S("history.txt")), test::toGbk(text)));
        const QString out = home.filePath(S("site"));
        const test::CliRun cli =
            test::finishCli(test::cliProcess({S("report"), S("--html"), out}, home.path(), this));
        QCOMPARE(cli.status, 0);

        const QString index = dom(out + S("/index.html"));
        for (const QString& d : domains + QStringList{S("empty.example")})
            QCOMPARE(index.count(S("<tr data-domain=\"") + d.toHtmlEscaped() + u'"'), 1);
        // A line of each domain with records, a red drop.
        QCOMPARE(index.count(QRegularExpression(S("<svg[^>]*class=\"spark\""))), 3);
        QVERIFY(index.contains(S("class=\"n drop\" data-v=\"100\"")));
        for (const QString& d : domains) {
            const QString page = dom(out + u'/' + domainPageName(d));
            QCOMPARE(page.count(QRegularExpression(S("<svg[^>]*class=\"chart\""))), 2);
            QVERIFY(page.contains(S("<h1>") + d.toHtmlEscaped() + S("</h1>")));
            // Every record, each dated, newest first.
            QCOMPARE(page.count(S("<td>2026-1")), 40);
        }

        // A list's domains only, their last five days only (counted from today).
        const QString list = home.filePath(S("list.txt"));
        QVERIFY(test::writeFile(list, S("# two of them\ndrop.example\n丂.example\n").toUtf8()));
        const QString narrow = home.filePath(S("narrow"));
        const int days = int(QDate(2026, 11, 9).daysTo(QDate::currentDate())) + 5;
        QCOMPARE(test::finishCli(test::cliProcess({S("report"), S("--html"), narrow, S("--list"),
                                                   list, S("--days"), QString::number(days)},
                                                  home.path(), this))
                     .status,
                 0);
        const QString narrowIndex = dom(narrow + S("/index.html"));
        QCOMPARE(narrowIndex.count(S("<tr data-domain=")), 2);
        QVERIFY(narrowIndex.indexOf(S("drop.example")) < narrowIndex.indexOf(S("丂.example")));
        QCOMPARE(dom(narrow + u'/' + domainPageName(S("drop.example"))).count(S("<td>2026-1")), 5);

        // A link put where the index goes is not written through, and the refusal names it.
        const QString victim = home.filePath(S("victim"));
        QVERIFY(test::writeFile(victim, "kept"));
        QVERIFY(QFile::remove(narrow + S("/index.html")));
        QVERIFY(QFile::link(victim, narrow + S("/index.html")));
        const test::CliRun linked = test::finishCli(
            test::cliProcess({S("report"), S("--html"), narrow}, home.path(), this));
        QCOMPARE(linked.status, 3);
        QVERIFY2(linked.err.contains("/index.html: it is a symbolic link"), linked.err);
        QCOMPARE(test::fileBytes(victim), QByteArray("kept"));
    }
};

QTEST_GUILESS_MAIN(HtmlReportTest)
#include "qtest_htmlreport.moc"
