// Saved domain list and batch mode hooks of the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QScopedValueRollback>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "domains/batchbook.h"
#include "domains/domainlist.h"
#include "domains/gui/listeditor.h"
#include "engines/queryengine.h"
#include "fetch/services.h"

namespace zorvan {

void MainWindow::loadDomainList() {
    {
        // Filling an empty box selects its first entry by itself; that is no user selection.
        const QScopedValueRollback filling(fillingDomainList_, true);
        domainBox_->addItems(readDomainList(configFilePath()));
    }
    QStringList entries;
    for (int i = 0; i < domainBox_->count(); ++i) entries.append(domainBox_->itemText(i));
    domainBatch_.listLoaded(entries, state_.batchResults);
}

void MainWindow::clearDomainList() {
    const QScopedValueRollback filling(fillingDomainList_, true);
    domainBox_->clear();
}

void MainWindow::selectDomainEntry(int index) {
    if (index < 0 || index >= domainBox_->count()) return;
    if (domainBox_->currentIndex() != index) {
        domainBox_->setCurrentIndex(index);
        return;
    }
    // Selecting the entry already selected still puts its text back and shows its record.
    domainBox_->setEditText(domainBox_->itemText(index));
    onDomainSelected(index);
}

void MainWindow::reloadDomainList() {
    clearDomainList();
    loadDomainList();
    selectDomainEntry(0);
}

void MainWindow::onBatchModeToggled(bool ticked) {
    domainBox_->setEnabled(!ticked);
    clearDomainList();
    if (ticked) {
        loadDomainList();
        selectDomainEntry(0);
        if (domainBox_->count() > 1) nextArrow_->show();
    } else {
        domainBox_->setFocus();
        nextArrow_->hide();
        previousArrow_->hide();
        loadDomainList();
        selectDomainEntry(0);
    }
}

void MainWindow::onDomainSelected(int index) {
    if (fillingDomainList_ || index < 0 || !batchBox_->isChecked()) return;
    // Once its query is complete, the fields show another entry: a late PageRank answer of that
    // query no longer belongs in them.
    if (query_ && state_.completedBatchCount == 4 && domainBox_->itemText(index) != query_->domain())
        disconnect(query_, &CombinedQueryEngine::figureReady, this, &MainWindow::setFigure);
    // ShowBatchEntry: a field without a stored piece keeps its text.
    const QStringList pieces = batchRecordPieces(state_.batchResults.value(index));
    for (int k = 0; k < FigureCount && k < pieces.size(); ++k) setFigure(Figure(k), pieces[k]);
    const ArrowVisibility arrows = arrowsForEntry(index, domainBox_->count(), state_.runActive);
    previousArrow_->setVisible(arrows.previous);
    nextArrow_->setVisible(arrows.next);
}

void MainWindow::showPreviousEntry() { selectDomainEntry(domainBox_->currentIndex() - 1); }

void MainWindow::showNextEntry() { selectDomainEntry(domainBox_->currentIndex() + 1); }

bool MainWindow::advanceBatch() {
    const int index = domainBox_->currentIndex();
    // The record is the query's own figures, kept only under the entry it was started for: a list
    // reloaded while the query ran has another domain there, or none.
    if (domainBox_->itemText(index) == query_->domain()) {
        QStringList texts;
        for (int k = 0; k < FigureCount; ++k) texts.append(query_->values()[Figure(k)]);
        BatchBook::store(state_.batchResults, index, joinBatchRecord(texts));
    }

    const int count = domainBox_->count();
    if (index < count - 1) {
        selectDomainEntry(index + 1);
        startCombinedQuery();
        return true;
    }
    if (count == index + 1) {
        state_.runActive = false;
        selectDomainEntry(0);
    }
    return false;
}

void MainWindow::openListEditor() {
    auto* editor = new ListEditor(configFilePath(), this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor, &ListEditor::saved, this, [this] {
        if (batchBox_->isChecked()) {
            clearDomainList();
            loadDomainList();
            selectDomainEntry(0);
        }
        reloadDomainList();
    });
    editor->exec();
}

}  // namespace zorvan
