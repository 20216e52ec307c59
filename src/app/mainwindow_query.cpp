// The combined query and what the window does when one is done.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "core/platform.h"
#include "engines/batchrun.h"
#include "engines/queryengine.h"
#include "history/historysaver.h"

namespace zorvan {

const QString PromptText = QString::fromUtf8("请输入需要查询的URL");

void MainWindow::startCombinedQuery() {
    if (bar_->box->currentText() == PromptText) {
        bar_->box->setEditText(QString());
        bar_->box->setFocus();
        return;
    }
    const bool runStarts = !(bar_->batch->isChecked() && run_->isActive());
    showQueryStart();
    if (bar_->batch->isChecked() && !run_->isActive()) {
        run_->markActive();
        bar_->box->setCurrentIndex(0);
    }
    // The query keeps the domain it was started for, whatever the box shows later.
    const QString domain = bar_->box->currentText();
    if (runStarts)
        readRunHistory(bar_->batch->isChecked() ? run_->list() + QStringList{domain}
                                                : QStringList{domain});
    lockForQuery(domain);
    // Batch mode walks many domains: it waits out a service's asked-for pause and asks a refused
    // row again. A single query keeps its exact timing and requests.
    run_->setPatient(bar_->batch->isChecked());
    if (domain.isEmpty())
        run_->queryPageRankOnly(domain);
    else
        run_->query(domain);
}

void MainWindow::showQueryStart() {
    ranking_->previous->hide();
    ranking_->next->hide();
    for (const Figure f : resetOrder()) setFigure(f, Pending);
    // A single query, or the first of a batch run, starts afresh: no failed save told yet, no
    // drop marked. Later queries of a run keep the marks of the domains before them.
    if (!(bar_->batch->isChecked() && run_->isActive())) {
        saveFailureTold_ = false;
        drops_.clear();
        runDropLines_.clear();
        runAlerts_.reset();
        if (bar_->batch->isChecked()) runAlerts_.emplace(platform().now());
    }
}

void MainWindow::lockForQuery(const QString& domain) {
    lateFiguresDropped_ = false;
    if (domain.isEmpty()) {
        bar_->box->setFocus();
        return;
    }
    bar_->box->setEnabled(false);
    bar_->query->setEnabled(false);
}

// The next entry of a batch run: its stored record shows until the query resets the fields.
void MainWindow::onBatchDomainStarted(int index) {
    selectDomainEntry(index);
    showQueryStart();
    lockForQuery(bar_->box->currentText());
}

void MainWindow::onQueryDone() {
    resultsReady_ = true;
    bar_->query->setEnabled(true);
    bar_->box->setEnabled(true);
    // Focus goes to the box once it is enabled again: a disabled box would lose it.
    if (!bar_->batch->isChecked()) {
        bar_->box->setFocus();
        bar_->box->lineEdit()->setSelection(0, 6000);
    }
    finishQuery({query()->domain(), query()->values(), figureVerdicts(*query()),
                 bar_->autoSave->isChecked(), bar_->batch->isChecked(),
                 bar_->box->currentIndex() == bar_->box->count() - 1});
    // Batch mode keeps the box locked, run or no run.
    if (bar_->batch->isChecked()) bar_->box->setEnabled(false);
}

void MainWindow::onBatchRunFinished() {
    selectDomainEntry(0);
    if (bar_->batch->isChecked()) bar_->box->setEnabled(false);
    if (historySaver_) historySaver_->flush();
    runAlertsDue_ = true;
    sendRunAlertsWhenSaved();
}

}  // namespace zorvan
