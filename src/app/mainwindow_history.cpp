// History hooks of the main window.
#include "app/mainwindow.h"
#include "fetch/services.h"
#include "history/historyfile.h"
#include "history/historyviewer.h"

namespace zorvan {

void MainWindow::saveHistory(const QString& domain) {
    // A failed save must not stop the poll or a batch run; the old file stays whole.
    SaveHistory(domain, [this](const QString& field) { return fieldText(field); });
}

void MainWindow::openHistoryViewer() {
    HistoryViewer viewer(historyFilePath(), this);
    viewer.exec();
}

}  // namespace zorvan
