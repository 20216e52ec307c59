#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zorvan {

// The history table as the viewer shows it: row 0 the header row, column 0 the row numbers.
using GridTexts = QList<QStringList>;

// A cell text as the workbook can hold it: control characters, which would make the file
// unreadable, become blanks.
QString workbookText(const QString& text);

// Writes grid into a new .xlsx workbook at path: column widths 5, 11, seven times 17 and 8; every
// cell centred both ways; A1 to J1 red; non-empty cells as text, empty cells left empty.
// On failure returns false with the library's description in *error.
bool writeHistoryWorkbook(const GridTexts& grid, const QString& path, QString* error);

// The same look for any table: the given column widths, every cell centred, the header row red
// over as many columns as widths has.
bool writeTableWorkbook(const GridTexts& grid, const QList<double>& widths, const QString& path,
                        QString* error);

// A path for a new workbook in the temporary directory that no file uses yet.
QString newWorkbookPath();

}  // namespace zorvan
