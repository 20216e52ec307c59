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

    // A start asked for while an earlier query is still inside its own steps (the batch advance
    // runs from the poll, nested in the PageRank wait) begins once that query's steps have ended,
    // so a long batch run never nests ever deeper.
    void start();

private:
    void runSteps();

    void startWorker(const QString& domain);
    void runWindowBatch();
    void runPageRank();

    MainWindow& window_;
    QPointer<QThread> worker_;
    bool inSteps_ = false;
    bool startPending_ = false;
};

}  // namespace zorvan
