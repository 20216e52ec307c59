#include "engines/countworker.h"

#include <QThread>

#include "engines/countrows.h"

namespace zorvan {

void CountWorker::run() {
    for (const auto* batch : {&engineBatchRows(), &youdaoBatchRows(), &sogouYahooBatchRows()}) {
        for (const CountRow& row : *batch) Q_EMIT fieldReady(row.field, RunCountRow(row, domain_));
        Q_EMIT batchDone();
    }
    Q_EMIT finished();
}

QPointer<QThread> CountWorker::Start(const QString& domain, QObject* receiver,
                                     const std::function<void(const QString&, const QString&)>& onField,
                                     const std::function<void()>& onBatchDone) {
    auto* thread = new QThread;
    thread->setObjectName(QStringLiteral("CountWorker"));
    auto* worker = new CountWorker(domain);
    worker->moveToThread(thread);
    // Queued into the receiver's thread: fields and batch ends arrive in the order emitted, so a
    // batch end is never seen before the fields written ahead of it.
    connect(worker, &CountWorker::fieldReady, receiver, onField, Qt::QueuedConnection);
    connect(worker, &CountWorker::batchDone, receiver, onBatchDone, Qt::QueuedConnection);
    connect(thread, &QThread::started, worker, &CountWorker::run);
    connect(worker, &CountWorker::finished, thread, &QThread::quit);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return thread;
}

void CountWorker::StopWorker(const QPointer<QThread>& thread) {
    if (!thread || !thread->isRunning()) return;
    // quit() ends every event loop of the thread, including a fetch's wait, and makes later waits
    // return at once, so the remaining rows finish quickly with nothing found.
    thread->quit();
    thread->wait();
}

}  // namespace zorvan
