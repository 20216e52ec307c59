// History hooks of the main window.
#include "app/mainwindow.h"

namespace zorvan {

void MainWindow::saveHistory(const QString&) {}

void MainWindow::openHistoryViewer() {}

}  // namespace zorvan
