#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include "engines/queryengine.h"

namespace zorvan {

// The combined queries of a list of domains, up to a number of them at once, each with its two
// streams in their order. Domains are reported in list order whatever order they finish in: a
// query that ends early waits until every one before it has been reported. With one job it walks
// the list exactly as the command's one-at-a-time walk does.
//
// Queries are started at most a window ahead of the first unreported one, so a slow domain holds
// back a bounded number of finished ones, never the whole list.
class ParallelRun : public QObject {
    Q_OBJECT
  public:
    explicit ParallelRun(int jobs, QObject* parent = nullptr);
    ~ParallelRun() override;

    void setDeadlineMs(int ms) { deadlineMs_ = ms; }
    // See CombinedQueryEngine::setPatient.
    void setPatient(bool patient) { patient_ = patient; }
    void start(const QStringList& domains);

    // Queries started and not yet finished.
    int inFlight() const { return int(engines_.size() - finished_.size()); }

  Q_SIGNALS:
    // A query is about to start.
    void domainStarted(int index, const QString& domain);
    // In list order; the engine is deleted once the listeners return.
    void domainDone(int index, const zorvan::CombinedQueryEngine* query);
    void finished();
    // A service asked its host to wait (patient queries only).
    void waiting(const QString& host, double seconds, const QString& reason);

  private:
    void fill();
    void onFinished(int index);

    int jobs_;
    int window_;
    int deadlineMs_ = CombinedQueryEngine::DefaultDeadlineMs;
    bool patient_ = false;
    QStringList domains_;
    int next_ = 0;      // the next domain to start
    int reported_ = 0;  // the next domain to report
    QHash<int, CombinedQueryEngine*> engines_;
    QSet<int> finished_;
};

}  // namespace zorvan
