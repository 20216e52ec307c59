// Saved domain list and batch mode hooks of the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QScopedValueRollback>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "core/services.h"
#include "domains/domainlist.h"
#include "domains/gui/listeditor.h"
#include "engines/batchrun.h"
#include "engines/queryengine.h"

namespace zorvan {

void MainWindow::loadDomainList() {
    {
        // Filling an empty box selects its first entry by itself; that is no user selection.
        const QScopedValueRollback filling(fillingDomainList_, true);
        bar_->box->addItems(readDomainList(configFilePath()));
    }
    QStringList entries;
    for (int i = 0; i < bar_->box->count(); ++i) entries.append(bar_->box->itemText(i));
    run_->setList(entries);
}

void MainWindow::clearDomainList() {
    const QScopedValueRollback filling(fillingDomainList_, true);
    bar_->box->clear();
}

void MainWindow::selectDomainEntry(int index) {
    if (index < 0 || index >= bar_->box->count()) return;
    if (bar_->box->currentIndex() != index) {
        bar_->box->setCurrentIndex(index);
        return;
    }
    // Selecting the entry already selected still puts its text back and shows its record.
    bar_->box->setEditText(bar_->box->itemText(index));
    onDomainSelected(index);
}

void MainWindow::reloadDomainList() {
    clearDomainList();
    loadDomainList();
    selectDomainEntry(0);
}

void MainWindow::onBatchModeToggled(bool ticked) {
    run_->setWalking(ticked);
    bar_->box->setEnabled(!ticked);
    clearDomainList();
    if (ticked) {
        loadDomainList();
        selectDomainEntry(0);
        if (bar_->box->count() > 1) ranking_->next->show();
    } else {
        bar_->box->setFocus();
        ranking_->next->hide();
        ranking_->previous->hide();
        loadDomainList();
        selectDomainEntry(0);
    }
}

void MainWindow::onDomainSelected(int index) {
    if (fillingDomainList_ || index < 0 || !bar_->batch->isChecked()) return;
    // Once its query is complete, the fields show another entry: a late PageRank answer of that
    // query no longer belongs in them.
    if (query() && query()->isComplete() && bar_->box->itemText(index) != query()->domain())
        lateFiguresDropped_ = true;
    // ShowBatchEntry: a field without a stored piece keeps its text.
    const QStringList pieces = batchRecordPieces(run_->record(index));
    for (int k = 0; k < FigureCount && k < pieces.size(); ++k) setFigure(Figure(k), pieces[k]);
    const ArrowVisibility arrows = arrowsForEntry(index, bar_->box->count(), run_->isActive());
    ranking_->previous->setVisible(arrows.previous);
    ranking_->next->setVisible(arrows.next);
}

void MainWindow::stepEntry(int step) {
    selectDomainEntry(bar_->box->currentIndex() + step);
}

void MainWindow::openListEditor() {
    auto* editor = new ListEditor(configFilePath(), this);
    // Batch mode reloads the list twice over, as it always has.
    connect(editor, &ListEditor::saved, this, [this] {
        if (bar_->batch->isChecked()) reloadDomainList();
        reloadDomainList();
    });
    openDialog(editor);
}

}  // namespace zorvan
