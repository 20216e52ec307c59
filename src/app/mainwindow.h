#pragma once

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <optional>

#include "app/panels.h"
#include "history/runhistory.h"
#include "history/trends.h"
#include "notify/runcollector.h"
#include "vocab/figures.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace zorvan {

class BatchRun;
class CombinedQueryEngine;
class HistorySaver;
class SiteGroupWindow;

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    // The update check runs once, this long after start; never without a delay.
    explicit MainWindow(
        QWidget* parent = nullptr,
        std::optional<std::chrono::milliseconds> updateCheckDelay = std::chrono::seconds(1));
    ~MainWindow() override;

    QString domain() const;
    QComboBox* domainBox() const { return bar_->box; }
    QCheckBox* batchBox() const { return bar_->batch; }
    QCheckBox* autoSaveBox() const { return bar_->autoSave; }
    QWidget* hostArea() const { return hostArea_; }
    QToolButton* previousArrow() const { return ranking_->previous; }
    QToolButton* nextArrow() const { return ranking_->next; }
    QPushButton* queryButton() const { return bar_->query; }

    // The field a figure is shown in.
    QLabel* figureField(Figure figure) const;
    // The detail grid, field by field (the first result's title is a field no one sees).
    QLabel* detailField(DetailField field) const { return detail_->field(field); }
    QString detail(DetailField field) const;
    void setDetail(DetailField field, const QString& text);

    // The eighteen figures as the fields show them.
    const FigureValues& figures() const { return figures_; }
    QString figure(Figure figure) const { return figures_[figure]; }
    void setFigure(Figure figure, const QString& text);

    // The running or last query (nullptr before the first).
    const CombinedQueryEngine* query() const;
    // The queries of the window, batch mode's walk and its records.
    const BatchRun& batchRun() const { return *run_; }

    // The combined query of the domain in the box (the "查询" button, Enter, the batch advance).
    // Starts at once: a PageRank answer the previous query still waits for is dropped.
    void startCombinedQuery();

  Q_SIGNALS:
    // The user confirmed the exit question; the program ends at once.
    void exitConfirmed();
    // The start-up update check has ended, whatever it found.
    void updateCheckDone();
    // Every detail check asked for has ended.
    void detailCheckFinished();
    // A batch run's alerts have reached the targets of notify.json, or been given up on.
    void runAlertsSent();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildUi();
    void connectPanels();
    void showFigure(Figure figure);
    void placeHostArea();
    // The page a figure came from, or the host area's own page, in the browser.
    void openQuickLink(Figure figure);
    void openHostAreaLink();
    // Every dialog of the window opens the one way: modal, and deleted once closed.
    void openDialog(QDialog* dialog);

    // Feature hooks: one file per feature (mainwindow_<feature>.cpp).
    // History. A query's end as the history needs it: what it found, and what the window knew
    // then.
    struct FinishedQuery {
        QString domain;
        FigureValues values;
        FigureVerdicts verdicts;
        bool save = false;       // auto-save was ticked
        bool batch = false;      // batch mode was ticked
        bool lastOfRun = false;  // the list's last entry
    };
    // Reads history.txt for the run's domains off the window thread, once as the run starts.
    void readRunHistory(const QStringList& domains);
    // Marks the drops and saves, once the run's reading is there.
    void finishQuery(const FinishedQuery& done);
    void finishQueryWith(const FinishedQuery& done, const std::optional<RunHistory>& history);
    // Queues the record; it is written off the window thread with those finished meanwhile.
    void queueRecord(const FinishedQuery& done, const QList<FigureDrop>& drops);
    void onHistoryGroupDone(const QStringList& domains, const FileError& problem);
    void openHistoryViewer();
    // Saved domain list and batch mode.
    void loadDomainList();
    void reloadDomainList();
    void onBatchModeToggled(bool ticked);
    void onDomainSelected(int index);
    // The arrows: -1 the previous entry, +1 the next.
    void stepEntry(int step);
    // The batch run's reports: a domain done, the next entry started, the walk's end.
    void onQueryDone();
    void onBatchDomainStarted(int index);
    void onBatchRunFinished();
    // The window's side of a query start: fields reset, arrows hidden, box and button locked.
    void showQueryStart();
    void lockForQuery(const QString& domain);
    void openListEditor();
    // Detail checks, and the requests they run on (made at the first).
    void resetDetailFields();
    void runDetailCheck();
    class DetailRun* detailRun_ = nullptr;
    // Report, browser buttons, update check.
    void openReport();
    void visitSite();
    void visitProduct();
    void runUpdateCheck();
    // Tool windows in the host area.
    void showBacklinkWindow();
    void showWeightWindow();
    void showCheckWindow();
    // The site group window: one, beside this one, on the saved list.
    void openSiteGroup();
    QPointer<SiteGroupWindow> siteGroup_;
    // A field's tooltip: why it shows "X" when the query says so, else what a click opens.
    QString figureToolTip(Figure figure) const;
    // Trends: drops of the finished query, and the drop a field shows (nullptr: none).
    void markDrops(const FinishedQuery& done, const QList<FigureDrop>& drops);
    const FigureDrop* shownDrop(Figure figure) const;

    BatchRun* run_ = nullptr;
    // Set by the first completed query: the report has figures to show.
    bool resultsReady_ = false;
    // Once its query is complete and another entry is shown, a late answer is not shown.
    bool lateFiguresDropped_ = false;
    FigureValues figures_;
    DomainBar* bar_ = nullptr;
    RankingRow* ranking_ = nullptr;
    EngineTable* engines_ = nullptr;
    DetailGrid* detail_ = nullptr;
    ToolBar* tools_ = nullptr;
    HostArea* hostArea_ = nullptr;
    QTimer* updateTimer_ = nullptr;

    // Feature members (each block owned by its feature).
    // Saved domain list and batch mode.
    void clearDomainList();
    void selectDomainEntry(int index);
    bool fillingDomainList_ = false;
    // History: a failed save is told once per query, or once per batch run.
    bool saveFailureTold_ = false;
    HistorySaver* historySaver_ = nullptr;
    // The run's reading of history.txt, once it is there; queries that ended before wait for it.
    std::optional<RunHistory> runHistory_;
    bool runHistoryRead_ = false;
    int runHistoryReads_ = 0;
    int historyLookups_ = 0;  // reads for a domain the run's reading did not list
    QList<FinishedQuery> waitingForHistory_;
    // Saved records not yet written, oldest first, with what the alerts need of them.
    struct UnsavedRecord {
        QString domain;
        FigureValues values;
        FigureVerdicts verdicts;
        QList<FigureDrop> drops;
    };
    QList<UnsavedRecord> unsaved_;
    // Trends: each domain's drops found by its last query; the batch run's drops still to tell.
    QHash<QString, QList<FigureDrop>> drops_;
    QStringList runDropLines_;
    // Alerts: what a batch run found for notify.json's targets, gathered as each domain ends and
    // sent in the background once the run does; none outside a batch run.
    void collectForAlerts(const QString& domain, const FigureValues& values,
                          const FigureVerdicts& verdicts, const QList<FigureDrop>& drops,
                          bool saved);
    // Sends them once the run is over and every record of it is written.
    void sendRunAlertsWhenSaved();
    void sendRunAlerts();
    bool runAlertsDue_ = false;
    std::optional<RunCollector> runAlerts_;
};

}  // namespace zorvan
