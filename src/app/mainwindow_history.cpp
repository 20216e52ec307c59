// History hooks of the main window: the run's one reading of history.txt and the grouped saves,
// both off the window thread.
#include <QTimer>

#include "app/mainwindow.h"
#include "core/platform.h"
#include "core/services.h"
#include "history/gui/historyviewer.h"
#include "history/historyfile.h"
#include "history/historysaver.h"

namespace zorvan {

void MainWindow::readRunHistory(const QStringList& domains) {
    if (!historySaver_) {
        historySaver_ = new HistorySaver(historyFilePath(), this);
        connect(historySaver_, &HistorySaver::groupDone, this, &MainWindow::onHistoryGroupDone);
    }
    runHistory_.reset();
    runHistoryRead_ = false;
    const int read = ++runHistoryReads_;
    RunHistory::readAsync(
        historyFilePath(), domains, platform().now().date(), this,
        [this, read](const std::optional<RunHistory>& history, const FileProblem&) {
            if (read != runHistoryReads_) return;
            runHistory_ = history;
            runHistoryRead_ = true;
            for (const FinishedQuery& done : std::exchange(waitingForHistory_, {}))
                finishQuery(done);
            sendRunAlertsWhenSaved();
        });
}

void MainWindow::finishQuery(const FinishedQuery& done) {
    if (!runHistoryRead_) {
        waitingForHistory_.append(done);
        return;
    }
    if (!runHistory_ || runHistory_->lists(done.domain)) {
        finishQueryWith(done, runHistory_);
        return;
    }
    // A domain the list did not hold when the run started (the list was reloaded meanwhile).
    ++historyLookups_;
    RunHistory::readAsync(
        historyFilePath(), {done.domain}, platform().now().date(), this,
        [this, done](const std::optional<RunHistory>& history, const FileProblem&) {
            --historyLookups_;
            finishQueryWith(done, history);
            sendRunAlertsWhenSaved();
        });
}

void MainWindow::finishQueryWith(const FinishedQuery& done,
                                 const std::optional<RunHistory>& history) {
    // An unreadable file compares nothing; saving tells the user about it.
    const QList<FigureDrop> drops =
        history ? history->drops(done.domain, done.values, platform().now().date())
                : QList<FigureDrop>();
    markDrops(done, drops);
    if (done.save)
        queueRecord(done, drops);
    else
        collectForAlerts(done.domain, done.values, done.verdicts, drops, false);
}

// The finished query's own figures, under the domain it was started for: the box and the fields
// may show another entry by now (the list reloaded while it ran).
void MainWindow::queueRecord(const FinishedQuery& done, const QList<FigureDrop>& drops) {
    historySaver_->save(done.domain, done.values, platform().now().date());
    unsaved_.append({done.domain, done.values, done.verdicts, drops});
    // A single query is written at once; a batch run's records go in groups.
    if (!done.batch) historySaver_->flush();
}

void MainWindow::onHistoryGroupDone(const QStringList& domains, const FileError& problem) {
    for (qsizetype i = 0; i < domains.size() && !unsaved_.isEmpty(); ++i) {
        const UnsavedRecord r = unsaved_.takeFirst();
        collectForAlerts(r.domain, r.values, r.verdicts, r.drops, !problem);
    }
    if (problem && !saveFailureTold_) {
        saveFailureTold_ = true;
        // Told from the event loop, so that a batch run goes on while the message is open.
        const QString text =
            QStringLiteral("保存历史记录失败：") + historyFilePath() + u'\n' + problem->chinese();
        QTimer::singleShot(0, this, [this, text] {
            platform().showMessage(
                {this, MessageIcon::Warning, QStringLiteral("Quenta"), text, MessageButtons::Ok});
        });
    }
    sendRunAlertsWhenSaved();
}

void MainWindow::openHistoryViewer() {
    openDialog(new HistoryViewer(historyFilePath(), this));
}

}  // namespace zorvan
