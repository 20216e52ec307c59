#include "sitegroup/siterun.h"

#include <QPointer>

#include "core/platform.h"
#include "engines/batchrun.h"
#include "engines/queryengine.h"
#include "history/historysaver.h"
#include "notify/delivery.h"

namespace zorvan {

SiteGroupRun::SiteGroupRun(const QString& historyPath, QObject* parent)
    : QObject(parent), path_(historyPath) {}

SiteGroupRun::~SiteGroupRun() {
    if (running_) releaseHostIntervals();
}

int SiteGroupRun::inFlight() const {
    return batch_ ? batch_->inFlight() : 0;
}

int SiteGroupRun::unreported() const {
    return batch_ ? batch_->inFlight() + int(batch_->doneAhead().size()) : 0;
}

int SiteGroupRun::rewrites() const {
    return saver_ ? saver_->rewrites() : 0;
}

void SiteGroupRun::start(const QStringList& domains, const Options& options) {
    if (running_) return;
    running_ = true;
    options_ = options;
    done_ = blocked_ = 0;
    walked_.clear();
    history_.reset();
    const quint64 serial = ++serial_;
    RunHistory::readAsync(
        path_, domains, platform().now().date(), this,
        [this, serial, domains](const std::optional<RunHistory>& history, const FileProblem&) {
            // Stopped, or started again, while the file was read.
            if (serial != serial_ || !running_) return;
            // An unreadable file compares nothing; the saver tells that it cannot save.
            history_ = history ? *history : RunHistory();
            QStringList rest, skipped;
            const QString today = shortDate(platform().now().date());
            for (const QString& domain : domains) {
                if (options_.onlyNotSavedToday && history_->hasRecordOn(domain, today))
                    skipped.append(domain);
                else
                    rest.append(domain);
            }
            const QPointer<SiteGroupRun> self(this);
            Q_EMIT historyRead(skipped);
            if (!self || serial != serial_ || !running_) return;
            alerts_.emplace(platform().now());
            alerts_->addSkipped(int(skipped.size()));
            walk(rest);
        });
}

void SiteGroupRun::walk(const QStringList& domains) {
    walked_ = domains;
    clock_.start();
    if (options_.save && !saver_) {
        saver_ = new HistorySaver(path_, this);
        connect(saver_, &HistorySaver::groupDone, this,
                [this](const QStringList& saved, const FileError& problem) {
                    if (alerts_) alerts_->groupDone(saved.size(), !problem);
                    if (problem) Q_EMIT saveFailed(problem->chinese());
                });
    }
    applyHostIntervals(options_.hostIntervalMs);
    delete batch_;
    batch_ = new BatchRun(this);
    batch_->setJobs(options_.jobs);
    batch_->setDoneWhen(BatchRun::DoneWhen::AllAnswers);
    batch_->setKeepsRecords(false);
    // A service that asks for a pause is obeyed, never fought, at one job too, as the command's.
    batch_->setPatient(true);
    connect(batch_, &BatchRun::domainStarted, this,
            [this](int, const QString& domain) { Q_EMIT domainStarted(domain); });
    connect(batch_, &BatchRun::domainDone, this,
            [this](int, const CombinedQueryEngine* query) { onDomainDone(query); });
    connect(batch_, &BatchRun::finished, this, [this] { end(true); });
    batch_->start(domains);
}

void SiteGroupRun::onDomainDone(const CombinedQueryEngine* query) {
    const QString& domain = query->domain();
    const QDate today = platform().now().date();
    ++done_;
    blocked_ += int(missingReasons(*query).values().count(Verdict::Blocked));
    if (alerts_) {
        const QList<FigureDrop> drops = history_->drops(domain, query->values(), today);
        if (options_.save)
            alerts_->domainQueued(domain, query->values(), figureVerdicts(*query), drops);
        else
            alerts_->domainDone(domain, query->values(), figureVerdicts(*query), drops, false);
    }
    if (saver_ && options_.save) saver_->save(domain, query->values(), today);
    Q_EMIT domainDone(domain, query);
}

void SiteGroupRun::stop() {
    if (!running_) return;
    ++serial_;
    if (batch_) {
        // Done but still waiting for a slower domain before them: theirs are finished records too.
        for (const CombinedQueryEngine* query : batch_->doneAhead()) onDomainDone(query);
        batch_->stop();
    }
    end(false);
}

void SiteGroupRun::end(bool finished) {
    running_ = false;
    releaseHostIntervals();
    // The walker is not deleted from inside its own report.
    if (batch_) {
        batch_->deleteLater();
        batch_ = nullptr;
    }
    // The alerts count a record as saved only once it is written.
    const auto over = [this, finished] {
        std::optional<RunSummary> summary;
        if (finished && alerts_) summary = alerts_->finish(platform().now());
        alerts_.reset();
        Q_EMIT ended(finished);
        if (summary && !deliverRunAlerts(*summary, this, [this] { Q_EMIT alertsSent(); }))
            Q_EMIT alertsSent();
    };
    if (saver_ && !saver_->isIdle()) {
        saver_->flush();
        connect(saver_, &HistorySaver::idle, this, over, Qt::SingleShotConnection);
    } else {
        over();
    }
}

}  // namespace zorvan
