// History hooks of the main window.
#include <QTimer>

#include "app/mainwindow.h"
#include "core/platform.h"
#include "core/services.h"
#include "engines/queryengine.h"
#include "history/gui/historyviewer.h"
#include "history/historyfile.h"

namespace zorvan {

// The finished query's own figures, under the domain it was started for: the box and the fields
// may show another entry by now (the list reloaded while it ran).
bool MainWindow::saveHistory() {
    const FileError error = SaveHistory(query()->domain(), query()->values());
    if (!error) return true;
    if (saveFailureTold_) return false;
    saveFailureTold_ = true;
    // Told from the event loop, so that a batch run goes on while the message is open.
    const QString text =
        QStringLiteral("保存历史记录失败：") + historyFilePath() + u'\n' + error->chinese();
    QTimer::singleShot(0, this, [this, text] {
        platform().showMessage(
            {this, MessageIcon::Warning, QStringLiteral("Quenta"), text, MessageButtons::Ok});
    });
    return false;
}

void MainWindow::openHistoryViewer() {
    openDialog(new HistoryViewer(historyFilePath(), this));
}

}  // namespace zorvan
