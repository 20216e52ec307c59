#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace zorvan {

// The site group report: a static site made from history.txt that opens from file:// and from any
// web server, with nothing fetched from elsewhere. index.html holds a table of every domain
// (latest figures, the change of its indexed pages over 7 and 30 days, a small line of each
// engine's indexed count; drops red, "X" grey), sortable by a click on a header; one page per
// domain holds the viewer's two charts and its records.
struct HtmlReportOptions {
    QStringList domains;  // those shown, in this order; empty: every domain of the file
    int days = 0;         // only the records of the last days (0: all)
    QDate today;
};

struct HtmlReportFigures {
    int domains = 0;
    int files = 0;
    qint64 bytes = 0;
};

// Writes the site into the folder dir (made when missing). Nothing on success, else why not.
// Needs a QGuiApplication (the charts' fonts).
std::optional<QString> writeHtmlReport(const QString& historyPath, const QString& dir,
                                       const HtmlReportOptions& options,
                                       HtmlReportFigures* figures = nullptr);

// The file name of a domain's page: readable, safe on every file system, one per domain.
QString domainPageName(const QString& domain);

}  // namespace zorvan
