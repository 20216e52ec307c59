#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "history/historyexport.h"

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace zorvan {

class TrendChartView;

// Form4, "查看历史": the stored domains in a chooser and the chosen domain's records as a table,
// one row per day, with deletion of a domain's records and the export to a workbook; below the
// table, the chart of the same records. Reads the history file afresh for every command, off the
// window thread (a site group's file is large), and keeps nothing else.
class HistoryViewer : public QDialog {
    Q_OBJECT
  public:
    // firstChoice: the domain shown once the file's domains are listed, when it is one of them;
    // otherwise the first.
    explicit HistoryViewer(const QString& historyPath, QWidget* parent = nullptr,
                           const QString& firstChoice = {});

    QComboBox* chooser() const { return chooser_; }
    QTableWidget* grid() const { return grid_; }
    QPushButton* queryButton() const { return queryButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* exportButton() const { return exportButton_; }
    TrendChartView* chart() const { return chart_; }
    QRadioButton* backlinksChoice() const { return backlinksChoice_; }

    // "查询": the chosen domain's records, oldest first.
    void showChosenDomain();
    // "删除": after confirmation, removes the chosen domain's section and refreshes.
    void DeleteDomainHistory();
    // "导出": the table into a new workbook in the temporary directory, opened for the user.
    // Errors are shown in a message box; false after one.
    bool ExportToExcel();

    // The table's texts, row by row, header row and row numbers included.
    GridTexts gridTexts() const;
    // A reading of the file is under way: the chooser or the table is not filled yet.
    bool isLoading() const { return loading_ > 0; }

  private:
    QHBoxLayout* buildTopRow();
    void buildGrid();
    QWidget* buildChartPanel();
    void placeOnScreen();
    void onChosen();
    void layOutGrid();
    // Lists the file's domains, then shows the first; with showEmpty, an empty table when there
    // is none (after a delete, the last domain's rows go).
    void fillChooser(bool showEmpty = false);
    void showRecords(const QString& domain, const QStringList& records);
    // read() on a thread of the pool, then shown(its lines) here, unless a later reading began.
    void readInBackground(std::function<QStringList()> read,
                          std::function<void(const QStringList&)> shown);
    void numberRows();
    void setCell(int row, int column, const QString& text);
    int twipsToPixelsX(int twips) const;
    int twipsToPixelsY(int twips) const;

    QString path_;
    QString firstChoice_;
    int reads_ = 0;
    int loading_ = 0;
    QLabel* prefix_ = nullptr;
    QComboBox* chooser_ = nullptr;
    QPushButton* queryButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QLabel* note_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QRadioButton* indexedChoice_ = nullptr;
    QRadioButton* backlinksChoice_ = nullptr;
    TrendChartView* chart_ = nullptr;
};

}  // namespace zorvan
