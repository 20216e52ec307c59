// Alerts after a batch run: the same messages the command's --notify sends, to notify.json's
// targets, in the background. Nothing here may interrupt the person: failures go to the log.
#include "app/mainwindow.h"
#include "core/platform.h"
#include "engines/queryengine.h"
#include "notify/delivery.h"

namespace zorvan {

// Called when a query of a batch run is done, after its drops were marked and its record saved.
void MainWindow::collectForAlerts(const QString& domain, const FigureValues& values,
                                  const FigureVerdicts& verdicts, const QList<FigureDrop>& drops,
                                  bool saved) {
    if (runAlerts_) runAlerts_->domainDone(domain, values, verdicts, drops, saved);
}

void MainWindow::sendRunAlertsWhenSaved() {
    if (!runAlertsDue_ || !unsaved_.isEmpty() || !waitingForHistory_.isEmpty() ||
        historyLookups_ > 0)
        return;
    runAlertsDue_ = false;
    sendRunAlerts();
}

void MainWindow::sendRunAlerts() {
    if (!runAlerts_) return;
    const RunSummary summary = runAlerts_->finish(platform().now());
    runAlerts_.reset();
    deliverRunAlerts(summary, this, [this] { Q_EMIT runAlertsSent(); });
}

}  // namespace zorvan
