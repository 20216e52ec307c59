// Report, browser buttons and update check hooks of the main window.
#include "app/mainwindow.h"

namespace zorvan {

void MainWindow::openReport() {}

void MainWindow::visitSite() {}

void MainWindow::visitProduct() {}

void MainWindow::runUpdateCheck() {}

}  // namespace zorvan
