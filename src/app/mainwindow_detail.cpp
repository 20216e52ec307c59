// Detail check hooks of the main window.
#include "app/mainwindow.h"

namespace zorvan {

void MainWindow::resetDetailFields() {}

void MainWindow::runDetailCheck() {}

}  // namespace zorvan
