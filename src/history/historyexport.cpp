#include "history/historyexport.h"

#include <xlsxwriter.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace zorvan {
namespace {

constexpr int sheetColumns = 10;

// The column widths of the sheet, in Excel character units.
double columnWidth(int column) {
    if (column == 0) return 5;
    if (column == 1) return 11;
    if (column == 9) return 8;
    return 17;
}

}  // namespace

QString workbookText(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            c = u' ';
    return out;
}

bool writeHistoryWorkbook(const GridTexts& grid, const QString& path, QString* error) {
    QList<double> widths;
    for (int c = 0; c < sheetColumns; ++c) widths.append(columnWidth(c));
    return writeTableWorkbook(grid, widths, path, error);
}

bool writeTableWorkbook(const GridTexts& grid, const QList<double>& widths, const QString& path,
                        QString* error) {
    const int columns = int(widths.size());
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* workbook = workbook_new(file.constData());
    if (!workbook) {
        *error = QStringLiteral("Cannot create workbook %1").arg(path);
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* centred = workbook_add_format(workbook);
    format_set_align(centred, LXW_ALIGN_CENTER);
    format_set_align(centred, LXW_ALIGN_VERTICAL_CENTER);
    lxw_format* header = workbook_add_format(workbook);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
    format_set_font_color(header, LXW_COLOR_RED);

    lxw_error status = LXW_NO_ERROR;
    // The whole sheet is centred, beyond the table's columns too.
    for (int c = 0; c < columns && status == LXW_NO_ERROR; ++c)
        status = worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), widths[c], centred);
    if (status == LXW_NO_ERROR)
        status = worksheet_set_column(sheet, lxw_col_t(columns), LXW_COL_MAX - 1, LXW_DEF_COL_WIDTH,
                                      centred);

    auto cellText = [&](int r, int c) { return c < grid[r].size() ? grid[r][c] : QString(); };
    for (int c = 0; c < columns && status == LXW_NO_ERROR; ++c) {
        const QString text = grid.isEmpty() ? QString() : cellText(0, c);
        status = text.isEmpty()
                     ? worksheet_write_blank(sheet, 0, lxw_col_t(c), header)
                     : worksheet_write_string(sheet, 0, lxw_col_t(c),
                                              workbookText(text).toUtf8().constData(), header);
    }
    for (int r = 1; r < grid.size() && status == LXW_NO_ERROR; ++r) {
        for (int c = 0; c < grid[r].size() && status == LXW_NO_ERROR; ++c) {
            const QString text = cellText(r, c);
            if (text.isEmpty()) continue;
            status = worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c),
                                            workbookText(text).toUtf8().constData(), centred);
        }
    }
    const lxw_error closed = workbook_close(workbook);
    if (status == LXW_NO_ERROR) status = closed;
    if (status != LXW_NO_ERROR) {
        *error = QString::fromUtf8(lxw_strerror(status));
        QFile::remove(path);
        return false;
    }
    return true;
}

QString newWorkbookPath() {
    const QDir dir(QDir::tempPath());
    const QString stem = QStringLiteral("zorvan-history-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = dir.filePath(stem + QStringLiteral(".xlsx"));
    for (int n = 2; QFile::exists(path); ++n)
        path = dir.filePath(stem + QStringLiteral("-%1.xlsx").arg(n));
    return path;
}

}  // namespace zorvan
