// Saved domain list and batch mode hooks of the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QScopedValueRollback>
#include <QToolButton>

#include "app/mainwindow.h"
#include "app/resultfields.h"
#include "domains/batchbook.h"
#include "domains/domainlist.h"
#include "domains/listeditor.h"
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
    // ShowBatchEntry: a field without a stored piece keeps its text.
    const QStringList pieces = batchRecordPieces(state_.batchResults.value(index));
    const QStringList names = recordOrderNames();
    for (int k = 0; k < names.size() && k < pieces.size(); ++k) setFieldText(names[k], pieces[k]);
    const ArrowVisibility arrows = arrowsForEntry(index, domainBox_->count(), state_.runActive);
    previousArrow_->setVisible(arrows.previous);
    nextArrow_->setVisible(arrows.next);
}

void MainWindow::showPreviousEntry() { selectDomainEntry(domainBox_->currentIndex() - 1); }

void MainWindow::showNextEntry() { selectDomainEntry(domainBox_->currentIndex() + 1); }

bool MainWindow::advanceBatch() {
    const int index = domainBox_->currentIndex();
    QStringList texts;
    for (const QString& name : recordOrderNames()) texts.append(fieldText(name));
    BatchBook::store(state_.batchResults, index, joinBatchRecord(texts));

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
