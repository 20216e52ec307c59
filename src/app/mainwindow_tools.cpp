// Tool window hooks of the main window: the host area embeds them.
#include "app/mainwindow.h"

namespace zorvan {

void MainWindow::showBacklinkWindow() {}

void MainWindow::showWeightWindow() {}

}  // namespace zorvan
