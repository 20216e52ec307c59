#include "app/combinedquery.h"

#include <QComboBox>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "engines/countrows.h"
#include "engines/countworker.h"
#include "engines/pagerank.h"

namespace zorvan {

const QString PromptText = QString::fromUtf8("请输入需要查询的URL");

CombinedQuery::CombinedQuery(MainWindow& window) : QObject(&window), window_(window) {}

CombinedQuery::~CombinedQuery() { CountWorker::StopWorker(worker_); }

void CombinedQuery::start() {
    if (inSteps_) {
        startPending_ = true;
        return;
    }
    QPointer<CombinedQuery> self(this);
    do {
        startPending_ = false;
        inSteps_ = true;
        runSteps();
        if (!self) return;
        inSteps_ = false;
    } while (startPending_);
}

void CombinedQuery::runSteps() {
    QComboBox* box = window_.domainBox();
    if (box->currentText() == PromptText) {
        box->setEditText(QString());
        box->setFocus();
        return;
    }
    window_.previousArrow()->hide();
    window_.nextArrow()->hide();
    for (const QString& name : resetOrderNames()) window_.setFieldText(name, Pending);

    QueryState& state = window_.state();
    if (window_.batchBox()->isChecked() && !state.runActive) {
        state.runActive = true;
        box->setCurrentIndex(0);
    }
    if (!box->currentText().isEmpty()) {
        state.runActive = true;
        box->setEnabled(false);
        state.completedBatchCount = 0;
        window_.pollTimer()->start();
        window_.queryButton()->setEnabled(false);
        startWorker(box->currentText());
        runWindowBatch();
        ++state.completedBatchCount;
    } else {
        box->setFocus();
    }
    runPageRank();
}

void CombinedQuery::startWorker(const QString& domain) {
    // The window outlives a query's worker only until it is destroyed; the destructor stops it.
    CountWorker::StopWorker(worker_);
    QPointer<MainWindow> window(&window_);
    worker_ = CountWorker::Start(
        domain, this,
        [window](const QString& field, const QString& text) {
            if (window) window->setFieldText(field, text);
        },
        [window] {
            if (window) ++window->state().completedBatchCount;
        });
}

void CombinedQuery::runWindowBatch() {
    QPointer<QComboBox> box = window_.domainBox();
    for (const CountRow& row : windowBatchRows()) {
        if (!box) return;
        const QString value = RunCountRow(row, box->currentText());
        window_.setFieldText(row.field, value);
    }
}

void CombinedQuery::runPageRank() {
    QPointer<QComboBox> box = window_.domainBox();
    const QString domain = box->currentText();
    const auto rank = PageRankLookup(domain);
    // The poll may have ended the query during the lookup and moved on (a batch run selects the
    // next or the first entry): a rank that no longer belongs to the domain shown is dropped.
    if (rank && box && box->currentText() == domain) window_.setFieldText(QStringLiteral("Label15"), *rank);
}

}  // namespace zorvan
