#pragma once

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;

namespace zorvan {

class SiteGroupRun;
class SiteSortModel;
class SiteTableModel;

// 站群总览: every domain of a site group in one table, queried side by side. Opens on the saved
// list (or a list file), shows each domain's latest record until a run fills its row, and saves
// through the grouped, off-thread writer.
class SiteGroupWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SiteGroupWindow(bool autoSave, QWidget* parent = nullptr);
    ~SiteGroupWindow() override;

    void setDomains(const QStringList& domains);
    const QStringList& domains() const { return domains_; }
    // A list file: one domain a line, as the command's --list reads it.
    bool openListFile(const QString& path);

    void startRun();
    void stopRun();
    bool isRunning() const;
    const SiteGroupRun& run() const { return *run_; }

    SiteTableModel* table() const { return table_; }
    SiteSortModel* shown() const { return shown_; }
    QTableView* view() const { return view_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QSpinBox* jobsBox() const { return jobs_; }
    QSpinBox* intervalBox() const { return interval_; }
    QCheckBox* autoSaveBox() const { return autoSave_; }
    QCheckBox* notSavedTodayBox() const { return notSavedToday_; }
    QLabel* progressText() const { return progressText_; }

    // 导出: the table as shown into a new workbook, opened for the user; false after an error.
    bool exportWorkbook();
    // 导出 → HTML: the report of the window's domains into dir, written off the window thread;
    // its index is opened once written, and htmlExported tells how it went.
    void exportHtml(const QString& dir);
    // A row's own actions (by its row in table()): its history viewer, its result to the clipboard.
    void openHistoryOf(int sourceRow);
    void copyRow(int sourceRow);

  Q_SIGNALS:
    // A run ended (stopped or finished) and every record it saved is written.
    void runEnded(bool finished);
    // The run's alerts went out, or there were none.
    void alertsSent();
    void htmlExported(bool written);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* buildControls();
    QWidget* buildFilters();
    void buildTable();
    void showStoredRecords();
    void showProgress();
    void showProgressSoon();
    void showRowMenu(const QPoint& at);
    void askHtmlFolder();
    void setRunning(bool running);

    QStringList domains_;
    SiteTableModel* table_ = nullptr;
    SiteSortModel* shown_ = nullptr;
    QTableView* view_ = nullptr;
    SiteGroupRun* run_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* export_ = nullptr;
    QSpinBox* jobs_ = nullptr;
    QSpinBox* interval_ = nullptr;
    QCheckBox* autoSave_ = nullptr;
    QCheckBox* notSavedToday_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressText_ = nullptr;
    QTimer* ticker_ = nullptr;
    bool progressQueued_ = false;
    bool intervalEdited_ = false;
    bool exportingHtml_ = false;
};

}  // namespace zorvan
