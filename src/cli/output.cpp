#include "cli/output.h"

#include "engines/servicecheck.h"
#include "vocab/text.h"

namespace zorvan::cli {
namespace {

bool stored(const FigureRow& row, const FigureInfo& f) {
    return !row.storedRecord || f.historyPlace >= 0;
}

// Terminal columns a character takes: East Asian wide and full-width forms take two.
int columnsOf(QChar c) {
    const char16_t u = c.unicode();
    const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                      (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                      (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                      (u >= 0xFFE0 && u <= 0xFFE6);
    return wide ? 2 : 1;
}

int displayWidth(const QString& text) {
    int width = 0;
    for (const QChar c : text) width += c.isLowSurrogate() ? 0 : columnsOf(c);
    return width;
}

// Figures that are not counts, as labelled for a person.
const QList<Figure> rankFigures = {Figure::BaiduSnapshot, Figure::AlexaRank, Figure::PageRank,
                                   Figure::SogouRank};

// The order of the output's columns: the counts engine by engine, then the other figures, as in
// the JSON objects.
QList<Figure> outputOrder() {
    QList<Figure> order;
    for (const EngineInfo& e : engineTable()) order.append(indexedFigure(e.engine));
    for (const EngineInfo& e : engineTable()) order.append(backlinksFigure(e.engine));
    return order + rankFigures;
}

}  // namespace

QStringList csvColumns(const QStringList& extraKeys) {
    QStringList columns = {QStringLiteral("domain"), QStringLiteral("date")};
    for (const Figure f : outputOrder()) columns.append(figureInfo(f).key);
    return columns + extraKeys;
}

QString jsonLine(const FigureRow& row) {
    JsonObject object;
    object.text(QStringLiteral("domain"), row.domain).text(QStringLiteral("date"), row.date);
    for (const FigureKind kind : {FigureKind::Indexed, FigureKind::Backlinks}) {
        JsonObject perEngine;
        for (const EngineInfo& e : engineTable()) {
            const Figure f =
                kind == FigureKind::Indexed ? indexedFigure(e.engine) : backlinksFigure(e.engine);
            perEngine.text(e.key, row.values[f]);
        }
        const QString name =
            kind == FigureKind::Indexed ? QStringLiteral("indexed") : QStringLiteral("backlinks");
        object.json(name, perEngine.line());
    }
    for (const Figure f : rankFigures)
        if (stored(row, figureInfo(f))) object.text(figureInfo(f).key, row.values[f]);
    for (const RowExtra& extra : row.extras) object.json(extra.key, extra.json);
    return object.line();
}

QString csvLine(const QStringList& cells) {
    QStringList quoted;
    for (const QString& cell : cells) {
        const bool quote = cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\r') ||
                           cell.contains(u'\n') || cell.startsWith(u' ') || cell.endsWith(u' ');
        quoted.append(quote ? u'"' + QString(cell).replace(u'"', QStringLiteral("\"\"")) + u'"'
                            : cell);
    }
    return quoted.join(u',') + QStringLiteral("\r\n");
}

QStringList csvCells(const FigureRow& row) {
    QStringList cells = {row.domain, row.date};
    for (const Figure f : outputOrder())
        cells.append(stored(row, figureInfo(f)) ? row.values[f] : QString());
    for (const RowExtra& extra : row.extras) cells.append(extra.csv);
    return cells;
}

QString alignedTable(const QList<QStringList>& cells) {
    QList<QStringList> rows;
    for (const QStringList& row : cells) {
        QStringList shown;
        for (const QString& cell : row) shown.append(oneLine(cell));
        rows.append(shown);
    }
    QList<int> widths;
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size(); ++c) {
            if (c >= widths.size()) widths.append(0);
            widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
    QString out;
    for (const QStringList& row : rows) {
        QString line;
        for (int c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += QString(widths[c] - displayWidth(row[c]) + 2, u' ');
        }
        out += line + u'\n';
    }
    return out;
}

QString queryText(const FigureRow& row) {
    QList<QStringList> table = {{S("引擎"), S("收录"), S("反链")}};
    for (const EngineInfo& e : engineTable())
        table.append({e.shortName, row.values[indexedFigure(e.engine)],
                      row.values[backlinksFigure(e.engine)]});
    QStringList ranks;
    for (const Figure f : rankFigures)
        ranks.append(figureInfo(f).label + QStringLiteral(": ") + row.values[f]);
    QString text = oneLine(row.domain + QStringLiteral("  ") + row.date) + u'\n' +
                   alignedTable(table) + oneLine(ranks.join(QStringLiteral("   "))) + u'\n';
    for (const RowExtra& extra : row.extras)
        for (const QString& line : extra.textLines) text += oneLine(line) + u'\n';
    return text;
}

QString recordsText(const QString& domain, const QList<FigureRow>& rows) {
    QStringList header = {S("日期")};
    for (const EngineInfo& e : engineTable()) header.append(e.shortName);
    header.append(QStringLiteral("Alexa"));
    QList<QStringList> table = {header};
    for (const FigureRow& row : rows) {
        QStringList cells = {row.date};
        for (const EngineInfo& e : engineTable())
            cells.append(row.values[indexedFigure(e.engine)] + u'/' +
                         row.values[backlinksFigure(e.engine)]);
        cells.append(row.values[Figure::AlexaRank]);
        table.append(cells);
    }
    return oneLine(domain) + u'\n' + alignedTable(table);
}

}  // namespace zorvan::cli
