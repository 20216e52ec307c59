#pragma once

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <atomic>

#include "domains/batchbook.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace zorvan {

class CombinedQuery;

// What the window knows about the running and past queries.
struct QueryState {
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

    QueryState& state() { return state_; }

    // The combined query of the domain in the box (the "查询" button and Enter). Safe to call from
    // the poll (the batch advance): a start asked for while a query is still inside its own steps
    // begins as soon as those steps end.
    void startCombinedQuery();
    // One tick of the completion poll.
    void pollCompletion();

Q_SIGNALS:
    // The user confirmed the exit question; the program ends at once.
    void exitConfirmed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildUi();
    QLabel* makeField(const QString& name, const QString& text, const QString& description);
    void placeHostArea();

    // Feature hooks: one file per feature (mainwindow_<feature>.cpp).
    // History.
    void saveHistory(const QString& domain);
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
    // Detail checks.
    void resetDetailFields();
    void runDetailCheck();
    // Report, browser buttons, update check.
    void openReport();
    void visitSite();
    void visitProduct();
    void runUpdateCheck();
    // Tool windows in the host area.
    void showBacklinkWindow();
    void showWeightWindow();

    QueryState state_;
    CombinedQuery* query_ = nullptr;
    QHash<QString, QLabel*> labels_;
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
};

}  // namespace zorvan
