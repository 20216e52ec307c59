#include "tools/htmlreport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "chart/trendchart.h"
#include "core/localfile.h"
#include "history/historyfile.h"
#include "history/historylines.h"
#include "history/trends.h"

namespace zorvan {
namespace {

// Points of each engine's small line in the table.
constexpr int SparkPoints = 60;
const QSize ChartSize{960, 420};

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

const char* const Style = R"(<style>
body{font:14px/1.45 "Noto Sans CJK SC","Microsoft YaHei",sans-serif;margin:16px;color:#222}
table{border-collapse:collapse}th,td{border:1px solid #ccc;padding:2px 6px;white-space:nowrap}
th{background:#f2f2f2;cursor:pointer}td.n,table.records td{text-align:right}table.records td:first-child{text-align:left}td.drop{color:#d01010}
td.x{background:#ddd;color:#666}svg.chart{width:100%;max-width:960px;height:auto}
caption{text-align:left;font-weight:bold;padding:4px 0}a{color:#1a4fb5}
</style>)";

// Sorts a table by the clicked header: by the cells' data-v numbers where they have them (cells
// without one last), else by their text; a second click reverses.
const char* const SortScript = R"(<script>
document.querySelectorAll('table.sortable th').forEach(function(th,col){
 th.addEventListener('click',function(){
  var body=th.closest('table').tBodies[0],rows=Array.from(body.rows);
  var dir=th.dataset.dir==='asc'?-1:1;th.dataset.dir=dir>0?'asc':'desc';
  function key(r){var c=r.cells[col];if(c.dataset.v!==undefined)return Number(c.dataset.v);
   var t=c.textContent,d=t.match(/^(\d{4})-(\d{1,2})-(\d{1,2})$/);
   if(d)return d[1]*10000+d[2]*100+d[3]*1;
   var n=t.replace(/(\d),(?=\d)/g,'$1').match(/\d+/);return n&&c.dataset.t===undefined?Number(n[0]):null;}
  rows.sort(function(a,b){var x=key(a),y=key(b);
   if(x===null&&y===null)return dir*a.cells[col].textContent.localeCompare(b.cells[col].textContent);
   if(x===null)return 1;if(y===null)return -1;return dir*(x-y);});
  rows.forEach(function(r){body.appendChild(r);});});});
</script>)";

QString page(const QString& title, const QString& body, bool sortable) {
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
               "<title>") +
           esc(title) + QStringLiteral("</title>") + QString::fromUtf8(Style) +
           QStringLiteral("</head><body>\n") + body +
           (sortable ? QString::fromUtf8(SortScript) : QString()) +
           QStringLiteral("</body></html>\n");
}

// A figure's cell: its number for sorting, red when it dropped, grey when it is "X". A compact
// cell (a domain page holds years of them) leaves its number to the sort script to read from
// the text, unless the text reads otherwise ("X" marked as text).
QString figureCell(const QString& text, bool dropped, bool compact) {
    const auto count = countFromText(text);
    const bool lost = text.trimmed() == u"X";
    if (compact) {
        if (!dropped && !lost && count)
            return QStringLiteral("<td>") + esc(text) + QStringLiteral("</td>");
        if (!dropped && !lost)
            return QStringLiteral("<td data-t>") + esc(text) + QStringLiteral("</td>");
    }
    QString cls = QStringLiteral("n");
    if (dropped) cls += QStringLiteral(" drop");
    if (lost) cls += QStringLiteral(" x");
    return QStringLiteral("<td class=\"") + cls + u'"' +
           (count ? QStringLiteral(" data-v=\"%1\"").arg(*count) : QString()) + u'>' + esc(text) +
           (dropped ? QStringLiteral(" ↓") : QString()) + QStringLiteral("</td>");
}

// The sum of the engines' indexed counts a record holds; none without any.
std::optional<qint64> indexedTotal(const StoredRecord& record) {
    std::optional<qint64> total;
    for (const EngineInfo& e : engineTable())
        if (const auto n = countFromText(record.values[indexedFigure(e.engine)]))
            total = total.value_or(0) + *n;
    return total;
}

// The change of the indexed total since the latest record at least days before the last one.
QString changeCell(const QList<StoredRecord>& records, int days) {
    const StoredRecord& last = records.last();
    const QDate lastDay = recordDay(last);
    const auto now = indexedTotal(last);
    for (qsizetype i = records.size() - 2; i >= 0 && now && lastDay.isValid(); --i) {
        const QDate day = recordDay(records[i]);
        if (!day.isValid() || day.daysTo(lastDay) < days) continue;
        const auto then = indexedTotal(records[i]);
        if (!then || *then == 0) break;
        const double percent = double(*now - *then) * 100.0 / double(*then);
        const QString cls =
            percent <= -DefaultDropThreshold ? QStringLiteral("n drop") : QStringLiteral("n");
        return QStringLiteral("<td class=\"%1\" data-v=\"%2\">%3%4%</td>")
            .arg(cls)
            .arg(percent, 0, 'f', 1)
            .arg(percent > 0 ? QStringLiteral("+") : QString())
            .arg(percent, 0, 'f', 1);
    }
    return QStringLiteral("<td class=\"n\">—</td>");
}

// Each engine's indexed count as a small line, at most SparkPoints points, one scale for all.
QString sparkline(const TrendData& data) {
    const int width = 140, height = 28;
    QString out = QStringLiteral(
                      "<svg class=\"spark\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 "
                      "%2\" role=\"img\"><title>收录趋势</title>")
                      .arg(width)
                      .arg(height);
    const qsizetype n = data.dates.size();
    if (n > 0 && data.largest > 0) {
        const qsizetype step = std::max<qsizetype>(1, (n + SparkPoints - 1) / SparkPoints);
        for (const TrendSeries& s : data.series) {
            QStringList points;
            for (qsizetype i = 0; i < n; i += step) {
                const auto& count = s.points[i].count;
                if (!count) continue;
                const double x = n == 1 ? 0.0 : double(i) * (width - 2) / double(n - 1) + 1;
                const double y = height - 1 - double(*count) * (height - 2) / double(data.largest);
                points.append(QStringLiteral("%1,%2").arg(x, 0, 'f', 1).arg(y, 0, 'f', 1));
            }
            if (points.isEmpty()) continue;
            out += QStringLiteral("<polyline fill=\"none\" stroke-width=\"1\" stroke=\"") +
                   engineInfo(s.engine).colour + QStringLiteral("\" points=\"") +
                   points.join(u' ') + QStringLiteral("\"/>");
        }
    }
    return out + QStringLiteral("</svg>");
}

// The chart as inline SVG: the file's own prolog left off, scaled by the page.
QString inlineChart(const TrendData& data) {
    const QString svg = QString::fromUtf8(renderTrendChart(data, ChartFormat::Svg, ChartSize));
    const qsizetype start = svg.indexOf(QStringLiteral("<svg"));
    if (start < 0) return QString();
    return QStringLiteral("<svg class=\"chart\"") + svg.sliced(start + 4);
}

QString columnHeads(bool withDomain) {
    QString heads = (withDomain ? QStringLiteral("<th>域名</th>") : QString()) +
                    QStringLiteral("<th>日期</th>");
    for (const EngineInfo& e : engineTable())
        heads += QStringLiteral("<th>") + esc(e.shortName) + QStringLiteral("收录</th>");
    for (const EngineInfo& e : engineTable())
        heads += QStringLiteral("<th>") + esc(e.shortName) + QStringLiteral("反链</th>");
    return heads + QStringLiteral("<th>Alexa</th>");
}

// The figures of a record as cells, the dropped ones marked.
QString recordCells(const StoredRecord& record, const QList<FigureDrop>& drops, bool compact) {
    QString cells;
    const auto cell = [&](Figure f) {
        bool dropped = false;
        for (const FigureDrop& d : drops) dropped = dropped || d.figure == f;
        cells += figureCell(record.values[f], dropped, compact);
    };
    for (const EngineInfo& e : engineTable()) cell(indexedFigure(e.engine));
    for (const EngineInfo& e : engineTable()) cell(backlinksFigure(e.engine));
    cell(Figure::AlexaRank);
    return cells;
}

// Each record's drops against the latest record of an earlier day, records oldest first.
QList<QList<FigureDrop>> dropsOfEach(const QList<StoredRecord>& records) {
    QList<QList<FigureDrop>> drops;
    std::optional<qsizetype> earlier;  // the last record of a day before the current one
    QDate previous;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QDate day = recordDay(records[i]);
        if (i > 0 && previous.isValid() && previous < day) earlier = i - 1;
        previous = day;
        drops.append(earlier && day.isValid() ? findDrops(records[i].values, records[*earlier])
                                              : QList<FigureDrop>());
    }
    return drops;
}

QString domainPage(const QString& domain, const QList<StoredRecord>& records) {
    QString body = QStringLiteral("<p><a href=\"index.html\">← 站群总览</a></p><h1>") +
                   esc(domain) + QStringLiteral("</h1>\n");
    for (const TrendKind kind : {TrendKind::Indexed, TrendKind::Backlinks}) {
        const TrendData data = trendData(domain, records, kind);
        body += QStringLiteral("<figure data-kind=\"") + trendKindKey(kind) +
                QStringLiteral("\">") + inlineChart(data) + QStringLiteral("</figure>\n");
    }
    body +=
        QStringLiteral("<table class=\"sortable records\"><caption>历史记录</caption><thead><tr>") +
        columnHeads(false) + QStringLiteral("</tr></thead><tbody>\n");
    const QList<QList<FigureDrop>> drops = dropsOfEach(records);
    // Newest first, as a person reads a log.
    for (qsizetype i = records.size() - 1; i >= 0; --i) {
        body += QStringLiteral("<tr><td>") + esc(records[i].date) + QStringLiteral("</td>") +
                recordCells(records[i], drops[i], true) + QStringLiteral("</tr>\n");
    }
    body += QStringLiteral("</tbody></table>\n");
    return page(domain, body, true);
}

QString indexRow(const QString& domain, const QList<StoredRecord>& records) {
    const QString link = QStringLiteral("<a href=\"") + esc(domainPageName(domain)) +
                         QStringLiteral("\">") + esc(domain) + QStringLiteral("</a>");
    QString row = QStringLiteral("<tr data-domain=\"") + esc(domain) + QStringLiteral("\"><td>") +
                  link + QStringLiteral("</td>");
    if (records.isEmpty()) return row + QStringLiteral("<td colspan=\"18\">无记录</td></tr>\n");
    const StoredRecord& last = records.last();
    const QDate day = recordDay(last);
    const auto earlier = latestEarlierRecord(records, day);
    const QList<FigureDrop> drops =
        day.isValid() && earlier ? findDrops(last.values, *earlier) : QList<FigureDrop>();
    row += QStringLiteral("<td>") + esc(last.date) + QStringLiteral("</td>") +
           recordCells(last, drops, false) + changeCell(records, 7) + changeCell(records, 30) +
           QStringLiteral("<td>") + sparkline(trendData(domain, records, TrendKind::Indexed)) +
           QStringLiteral("</td></tr>\n");
    return row;
}

bool writeText(const QString& path, const QString& text, HtmlReportFigures* figures,
               QString* error) {
    const QByteArray bytes = text.toUtf8();
    if (!writeRegularFile(path, bytes, error)) {
        *error = QStringLiteral("cannot write ") + path + QStringLiteral(": ") + *error;
        return false;
    }
    ++figures->files;
    figures->bytes += bytes.size();
    return true;
}

}  // namespace

QString domainPageName(const QString& domain) {
    QString safe;
    for (const QChar c : domain.toLower())
        safe += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'.' || c == u'-' ? c : u'_';
    // Two domains that differ only in what was replaced still get pages of their own.
    const QByteArray hash =
        QCryptographicHash::hash(domain.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return safe.left(80) + u'-' + QString::fromLatin1(hash) + QStringLiteral(".html");
}

namespace {

// The listed domains by the section header each is stored under (two spellings may share one).
struct ListedSections {
    QHash<QByteArray, int> headers;
    QList<QStringList> named;  // by header: the listed domains it holds
};

ListedSections listedSections(const QStringList& domains) {
    ListedSections listed;
    for (const QString& domain : domains) {
        const QByteArray header = encodeAnsi(historyHeader(domain));
        if (!listed.headers.contains(header)) {
            listed.headers.insert(header, int(listed.named.size()));
            listed.named.append(QStringList());
        }
        listed.named[listed.headers.value(header)].append(domain);
    }
    return listed;
}

// Every domain of the file once, in file order: only the names, streamed; the records come in the
// report's one pass.
QStringList everyDomain(const QString& historyPath) {
    QStringList domains = readHistoryDomains(historyPath);
    domains.removeDuplicates();
    return domains;
}

QString indexPage(int domains, const QString& tableRows, const QDate& today) {
    const QString body =
        QStringLiteral("<h1>站群总览</h1><p>") +
        esc(QStringLiteral("%1 个域名，生成于 %2")
                .arg(domains)
                .arg(today.toString(QStringLiteral("yyyy-M-d")))) +
        QStringLiteral("</p>\n<table class=\"sortable\" id=\"sites\"><thead><tr>") +
        columnHeads(true) +
        QStringLiteral(
            "<th>收录 7天</th><th>收录 30天</th><th>收录趋势</th></tr>"
            "</thead><tbody>\n") +
        tableRows + QStringLiteral("</tbody></table>\n");
    return page(QStringLiteral("站群总览"), body, true);
}

}  // namespace

std::optional<QString> writeHtmlReport(const QString& historyPath, const QString& dir,
                                       const HtmlReportOptions& options,
                                       HtmlReportFigures* figures) {
    HtmlReportFigures own;
    HtmlReportFigures& out = figures ? *figures : own;
    out = {};
    if (!QDir().mkpath(dir)) return QStringLiteral("cannot make the folder ") + dir;
    QFile file;
    const FileRead opened = openForReading(historyPath, &file);
    if (opened == FileRead::Unreadable) return QStringLiteral("cannot read ") + historyPath;
    const QStringList domains =
        options.domains.isEmpty() ? everyDomain(historyPath) : options.domains;
    // Each section's records are held only until it ends: its page is written then, and only its
    // row for the index is kept.
    const ListedSections listed = listedSections(domains);
    const QList<QStringList>& named = listed.named;
    const QDate from = options.days > 0 ? options.today.addDays(1 - options.days) : QDate();
    QList<QList<StoredRecord>> records(named.size());
    QHash<QString, QString> rows;
    QString error;
    const auto write = [&](int index) {
        for (const QString& domain : named[index]) {
            if (rows.contains(domain)) continue;
            rows.insert(domain, indexRow(domain, records[index]));
            if (!writeText(QDir(dir).filePath(domainPageName(domain)),
                           domainPage(domain, records[index]), &out, &error))
                return false;
            ++out.domains;
        }
        records[index].clear();
        records[index].squeeze();
        return true;
    };
    if (opened == FileRead::Ok) {
        HistoryLineReader in(&file);
        bool failed = false;
        const bool read = forEachSectionLine(
            in, listed.headers,
            [&](int index, QByteArrayView line) {
                if (failed) return;
                StoredRecord record = parseHistoryRecord(decodeAnsi(line.toByteArray()));
                if (from.isValid() && !(recordDay(record) >= from)) return;
                records[index].append(std::move(record));
            },
            [&](int index) { failed = failed || !write(index); });
        if (!error.isEmpty()) return error;
        if (!read || file.error() != QFileDevice::NoError)
            return QStringLiteral("cannot read ") + historyPath;
    }
    // Listed domains without a section of their own.
    for (int index = 0; index < named.size(); ++index)
        if (!write(index)) return error;
    QString tableRows;
    for (const QString& domain : domains) tableRows += rows.value(domain);
    if (!writeText(QDir(dir).filePath(QStringLiteral("index.html")),
                   indexPage(int(domains.size()), tableRows, options.today), &out, &error))
        return error;
    return std::nullopt;
}

}  // namespace zorvan
