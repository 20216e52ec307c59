#pragma once

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <atomic>

#include "domains/batchbook.h"
#include "engines/figures.h"
#include "history/trends.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace zorvan {

class CombinedQueryEngine;

// What the window knows about the running and past queries.
struct QueryState {
    // Counted on the window thread as each batch of the running query reports its end.
    std::atomic<int> completedBatchCount{0};
    bool runActive = false;
    bool resultsReady = false;
    QStringList batchResults{QString(), QString()};
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QString domain() const;
    QComboBox* domainBox() const { return domainBox_; }
    QCheckBox* batchBox() const { return batchBox_; }
    QCheckBox* autoSaveBox() const { return autoSaveBox_; }
    QWidget* hostArea() const { return hostArea_; }
    QToolButton* previousArrow() const { return previousArrow_; }
    QToolButton* nextArrow() const { return nextArrow_; }
    QPushButton* queryButton() const { return queryButton_; }
    QTimer* pollTimer() const { return pollTimer_; }

    // Any label of the window by its objectName (result and detail fields); nullptr if none.
    QLabel* label(const QString& objectName) const;
    QString fieldText(const QString& objectName) const;
    void setFieldText(const QString& objectName, const QString& text);

    // The eighteen figures as the fields show them.
    const FigureValues& figures() const { return figures_; }
    QString figure(Figure figure) const { return figures_[figure]; }
    void setFigure(Figure figure, const QString& text);

    QueryState& state() { return state_; }
    // The running or last query (nullptr before the first).
    const CombinedQueryEngine* query() const { return query_; }

    // The combined query of the domain in the box (the "查询" button, Enter, the batch advance).
    // Starts at once: a PageRank answer the previous query still waits for is dropped.
    void startCombinedQuery();
    // One tick of the completion poll.
    void pollCompletion();

Q_SIGNALS:
    // The user confirmed the exit question; the program ends at once.
    void exitConfirmed();
    // Every detail check asked for has ended.
    void detailCheckFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildUi();
    void showFigure(Figure figure);
    QLabel* makeField(const QString& name, const QString& text, const QString& description);
    void placeHostArea();

    // Feature hooks: one file per feature (mainwindow_<feature>.cpp).
    // History.
    void saveHistory();
    void openHistoryViewer();
    // Saved domain list and batch mode.
    void loadDomainList();
    void reloadDomainList();
    void onBatchModeToggled(bool ticked);
    void onDomainSelected(int index);
    void showPreviousEntry();
    void showNextEntry();
    bool advanceBatch();
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
    // A field's tooltip: why it shows "X" when the query says so, else what a click opens.
    QString figureToolTip(Figure figure) const;
    // Trends: drops of the finished query, and the drop a field shows (nullptr: none).
    void markDrops();
    const FigureDrop* shownDrop(Figure figure) const;

    QueryState state_;
    CombinedQueryEngine* query_ = nullptr;
    FigureValues figures_;
    QHash<QString, QLabel*> labels_;
    // The field a left button went down on: a quick link opens when it comes up on the same one.
    QPointer<QObject> pressedField_;
    QComboBox* domainBox_ = nullptr;
    QCheckBox* batchBox_ = nullptr;
    QCheckBox* autoSaveBox_ = nullptr;
    QWidget* hostArea_ = nullptr;
    QToolButton* previousArrow_ = nullptr;
    QToolButton* nextArrow_ = nullptr;
    QPushButton* queryButton_ = nullptr;
    QPushButton* detailButton_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    QTimer* updateTimer_ = nullptr;
    QWidget* content_ = nullptr;

    // Feature members (each block owned by its feature).
    // Saved domain list and batch mode.
    void clearDomainList();
    void selectDomainEntry(int index);
    BatchBook domainBatch_;
    bool fillingDomainList_ = false;
    // History: a failed save is told once per query, or once per batch run.
    bool saveFailureTold_ = false;
    // Trends: each domain's drops found by its last query; the batch run's drops still to tell.
    QHash<QString, QList<FigureDrop>> drops_;
    QStringList runDropLines_;
};

}  // namespace zorvan
