#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QThread;

namespace zorvan {

// Runs the engine, Youdao, and Sogou/Yahoo batches one after another on a thread of its own, with
// that thread's own network manager. Each figure and each batch end leaves as a signal, so the
// window receives them in the order they were produced.
class CountWorker : public QObject {
    Q_OBJECT
public:
    explicit CountWorker(QString domain) : domain_(std::move(domain)) {}

    // Starts a new thread running the three batches. The thread and the worker delete themselves
    // when done. Returns the thread, which a caller may stop early with StopWorker.
    static QPointer<QThread> Start(const QString& domain, QObject* receiver,
                                   const std::function<void(const QString&, const QString&)>& onField,
                                   const std::function<void()>& onBatchDone);

    // Makes the thread's pending and future waits end at once and waits for it to finish.
    static void StopWorker(const QPointer<QThread>& thread);

    void run();

Q_SIGNALS:
    void fieldReady(const QString& field, const QString& text);
    void batchDone();
    void finished();

private:
    QString domain_;
};

}  // namespace zorvan
