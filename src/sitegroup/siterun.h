#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <array>
#include <optional>

#include "history/runhistory.h"
#include "notify/runcollector.h"

namespace zorvan {

class BatchRun;
class CombinedQueryEngine;
class HistorySaver;

// A run over a site group from the window: the command's batch with its options, walked by the
// one list walker, history.txt read once as it starts (for the drops, the shown records and
// which domains are done today) and the records saved in groups off the window thread.
class SiteGroupRun : public QObject {
    Q_OBJECT
  public:
    struct Options {
        int jobs = 4;
        int hostIntervalMs = 1000;
        bool save = false;
        bool onlyNotSavedToday = false;
    };
    // The command's defaults: one job asks every host at once, more keep a second between two.
    static int defaultHostInterval(int jobs) { return jobs > 1 ? 1000 : 0; }

    explicit SiteGroupRun(const QString& historyPath, QObject* parent = nullptr);
    ~SiteGroupRun() override;

    // Reads the records of the domains (off the window thread), then walks those still to do.
    void start(const QStringList& domains, const Options& options);
    // Stops at once: queries running are dropped, every finished record is written (those that
    // waited for a slower domain before them too).
    void stop();
    bool isRunning() const { return running_; }

    // How far it is: done of total, the pace, in flight, figures blocked so far.
    int done() const { return done_; }
    int total() const { return int(walked_.size()); }
    int inFlight() const;
    // Domains started and not reported yet: in flight, or done and waiting for a slower one
    // before them (their rows still read 查询中…).
    int unreported() const;
    int blocked() const { return blocked_; }
    qint64 elapsedMs() const { return clock_.isValid() ? clock_.elapsed() : 0; }
    int rewrites() const;
    // The records of each domain when the run started.
    const std::optional<RunHistory>& history() const { return history_; }

  Q_SIGNALS:
    // history.txt was read: every listed domain's records are in history(); skipped were
    // passed over as saved today.
    void historyRead(const QStringList& skipped);
    void domainStarted(const QString& domain);
    void domainDone(const QString& domain, const zorvan::CombinedQueryEngine* query);
    // The walk ended (finished: every domain was queried; otherwise stopped) and every record it
    // saved is written.
    void ended(bool finished);
    // A group of records could not be written.
    void saveFailed(const QString& why);
    // The run's alerts went to notify.json's targets, or there were none to send.
    void alertsSent();

  private:
    void walk(const QStringList& domains);
    void onDomainDone(const CombinedQueryEngine* query);
    void end(bool finished);

    QString path_;
    Options options_;
    BatchRun* batch_ = nullptr;
    HistorySaver* saver_ = nullptr;
    std::optional<RunHistory> history_;
    std::optional<RunCollector> alerts_;
    QStringList walked_;
    QElapsedTimer clock_;
    int done_ = 0;
    int blocked_ = 0;
    bool running_ = false;
    quint64 serial_ = 0;
};

}  // namespace zorvan
