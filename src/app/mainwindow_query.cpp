// The combined query and its completion poll.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "engines/queryengine.h"

namespace zorvan {

const QString PromptText = QString::fromUtf8("请输入需要查询的URL");

void MainWindow::startCombinedQuery() {
    if (domainBox_->currentText() == PromptText) {
        domainBox_->setEditText(QString());
        domainBox_->setFocus();
        return;
    }
    previousArrow_->hide();
    nextArrow_->hide();
    for (const Figure f : resetOrder()) setFigure(f, Pending);

    // A single query, or the first of a batch run, starts afresh: no failed save told yet, no
    // drop marked. Later queries of a run keep the marks of the domains before them.
    if (!(batchBox_->isChecked() && state_.runActive)) {
        saveFailureTold_ = false;
        drops_.clear();
        runDropLines_.clear();
    }
    if (batchBox_->isChecked() && !state_.runActive) {
        state_.runActive = true;
        domainBox_->setCurrentIndex(0);
    }

    // Each query has an engine of its own; dropping the previous one aborts whatever it still
    // waited for (at most its PageRank lookup), so a late answer never reaches these fields.
    delete query_;
    query_ = new CombinedQueryEngine(this);
    connect(query_, &CombinedQueryEngine::figureReady, this, &MainWindow::setFigure);
    connect(query_, &CombinedQueryEngine::batchDone, this, [this] { ++state_.completedBatchCount; });

    // The query keeps the domain it was started for, whatever the box shows later.
    const QString domain = domainBox_->currentText();
    if (domain.isEmpty()) {
        domainBox_->setFocus();
        query_->startPageRankOnly(domain);
        return;
    }
    state_.runActive = true;
    domainBox_->setEnabled(false);
    state_.completedBatchCount = 0;
    pollTimer_->start();
    queryButton_->setEnabled(false);
    query_->start(domain);
}

void MainWindow::pollCompletion() {
    if (state_.completedBatchCount.load() == 4) {
        state_.resultsReady = true;
        queryButton_->setEnabled(true);
        pollTimer_->stop();
        domainBox_->setEnabled(true);
        // Focus goes to the box once it is enabled again: a disabled box would lose it.
        if (!batchBox_->isChecked()) {
            domainBox_->setFocus();
            domainBox_->lineEdit()->setSelection(0, 6000);
        }
        markDrops();
        if (autoSaveBox_->isChecked()) saveHistory();
        if (batchBox_->isChecked()) advanceBatch();
    }
    if (batchBox_->isChecked()) domainBox_->setEnabled(false);
}

}  // namespace zorvan
