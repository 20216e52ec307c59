#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

namespace zorvan {

class MainWindow;

// The combined query of one domain: the window's own batch, the worker's three batches and the
// PageRank lookup, counted in by the completion poll.
class CombinedQuery : public QObject {
    Q_OBJECT
public:
    explicit CombinedQuery(MainWindow& window);
    ~CombinedQuery() override;

    void start();

private:
    void startWorker(const QString& domain);
    void runWindowBatch();
    void runPageRank();

    MainWindow& window_;
    QPointer<QThread> worker_;
};

}  // namespace zorvan
