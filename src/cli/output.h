#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "core/jsonwriter.h"
#include "vocab/figures.h"

namespace zorvan::cli {

enum class Format { Text, Json, Csv };

// Something a command adds to a row after its figures, in each format's own shape.
struct RowExtra {
    QString key;            // the JSON member and the CSV column
    QString json;           // the member's value, already JSON
    QString csv;            // the CSV cell
    QStringList textLines;  // lines under the row's text
};

// One result to print: a finished query of a domain, or a stored history record (which holds
// only the fourteen counts and the Alexa rank).
struct FigureRow {
    QString domain;
    QString date;
    FigureValues values;
    bool storedRecord = false;
    QList<RowExtra> extras;
};

// The columns of CSV, in order: domain, date, every figure's key (the counts first, as in JSON),
// then the extras' keys.
QStringList csvColumns(const QStringList& extraKeys = {});

// The JSON object of a row, on one line.
QString jsonLine(const FigureRow& row);

// A CSV line (RFC 4180 quoting, CR LF ending) of cells.
QString csvLine(const QStringList& cells);
QStringList csvCells(const FigureRow& row);

// Columns padded to a common width, wide (CJK) characters counting twice: for a person, so
// control characters in a cell are shown escaped.
QString alignedTable(const QList<QStringList>& cells);

// The text formats show what pages and domains hold escaped (oneLine); JSON and CSV carry it whole.

// The text block of one query, or the table of a domain's records.
QString queryText(const FigureRow& row);
QString recordsText(const QString& domain, const QList<FigureRow>& rows);

}  // namespace zorvan::cli
