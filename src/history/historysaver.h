#pragma once

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

#include "history/historyfile.h"

class QTimer;

namespace zorvan {

// Saves records into history.txt in groups, off the calling thread: the records queued within
// the grouping interval are written together by one rewrite under the file's lock, giving exactly
// the bytes that saving them one by one would, and another writer's records saved between two
// groups stay (each group reads the file afresh under the lock). Lives on the thread that makes
// it, which needs an event loop; the writing happens on a thread of its own.
class HistorySaver : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds DefaultGrouping{2000};

    explicit HistorySaver(const QString& path, QObject* parent = nullptr,
                          std::chrono::milliseconds grouping = DefaultGrouping);
    // Writes what is still pending and waits for it.
    ~HistorySaver() override;

    QString path() const { return path_; }

    // Queues the record of domain's figures for the day; the first record of a group starts the
    // grouping interval, at whose end the group is written.
    void save(const QString& domain, const FigureValues& figures, const QDate& day);
    // Hands what is pending to the writer now, without waiting.
    void flush();
    // Flushes and waits until every record queued so far is written or has failed; groupDone is
    // emitted for each group before it returns.
    void finish();
    // No record waits to be written or is being written.
    bool isIdle() const;
    // Rewrites of the file so far.
    int rewrites() const;

    // From now on SIGINT and SIGTERM write the pending records, then end the process by the same
    // signal; undone when the saver goes. One saver of a process at a time.
    void finishOnTermination();

  Q_SIGNALS:
    // A group was written (no problem) or left the file as it was (the problem says why); domains
    // are its records' domains, in the order they were saved.
    void groupDone(const QStringList& domains, const zorvan::FileError& problem);
    // Every record queued so far is written or has failed.
    void idle();

  private:
    struct Writer;
    void deliver();

    QString path_;
    QList<DatedRecord> pending_;
    QTimer* timer_ = nullptr;
    std::unique_ptr<Writer> writer_;
    bool terminationHandled_ = false;
};

}  // namespace zorvan
