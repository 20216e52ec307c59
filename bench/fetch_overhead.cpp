// What one fetch in a chain costs beyond the service's own answer time: the per-request mean of N
// requests with no latency, on the window thread and on a worker thread, and with a 20 ms answer
// (the latency the other benchmarks use). This is the floor under their ratios.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

#include "core/services.h"
#include "fakeplatform.h"
#include "net/fetch.h"
#include "standinfixture.h"
#include "support/benchutil.h"

using namespace zorvan;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::StandinFixture fx(20000);
    fx.services.setRoute(Role::Bing, "/", QStringLiteral("x"));
    const QString url = serviceBase(Role::Bing) + QStringLiteral("/search?q=site%3Aa");
    constexpr int N = 100;
    auto run = [&] {
        QElapsedTimer t;
        t.start();
        bench::fetchInTurn(QList<QString>(N, url));
        return double(t.nsecsElapsed()) / 1e6 / N;
    };
    run();  // warm-up
    const double windowThread = run();
    double workerThread = 0;
    QThread* worker = QThread::create([&] {
        run();
        workerThread = run();
    });
    worker->start();
    while (!worker->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    delete worker;
    fx.services.setLatency(QString(), 20);
    const double withLatency = run() - 20;
    std::printf("with a 20 ms answer: %.2f ms more than the answer\n", withLatency);
    std::printf(
        "per fetch: window thread %.2f ms, worker thread %.2f ms; against a 20 ms answer: "
        "ratio %.3f / %.3f\n",
        windowThread, workerThread, (20 + windowThread) / 20, (20 + workerThread) / 20);
    return 0;
}
