// Report, browser buttons and update check hooks of the main window.
#include <QPointer>

#include "app/mainwindow.h"
#include "core/platform.h"
#include "core/services.h"
#include "net/fetch.h"
#include "tools/gui/reportwindow.h"
#include "tools/report.h"
#include "tools/update.h"

namespace zorvan {

void MainWindow::openReport() {
    if (!resultsReady_) {
        showInformation(this, QStringLiteral("Quenta"), QStringLiteral("你尚未查询域名"));
        return;
    }
    const QString typed = domain();
    const QString text = BuildReport(typed, figures_, platform().now());
    auto* report = new ReportWindow(this);
    report->load(typed, text);
    openDialog(report);
}

void MainWindow::visitSite() {
    OpenQueryUrl(QStringLiteral("http://"), domain());
}

void MainWindow::visitProduct() {
    OpenQueryUrl(productAddress(), QString());
}

void MainWindow::runUpdateCheck() {
    UpdateCheck(this, [self = QPointer<MainWindow>(this)] {
        if (self) Q_EMIT self->updateCheckDone();
    });
}

}  // namespace zorvan
