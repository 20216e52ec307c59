// Saved domain list and batch mode hooks of the main window.
#include "app/mainwindow.h"

namespace zorvan {

void MainWindow::loadDomainList() {}

void MainWindow::reloadDomainList() {}

void MainWindow::onBatchModeToggled(bool) {}

void MainWindow::onDomainSelected(int) {}

void MainWindow::showPreviousEntry() {}

void MainWindow::showNextEntry() {}

bool MainWindow::advanceBatch() { return false; }

void MainWindow::openListEditor() {}

}  // namespace zorvan
