// The service check of every rule with one host answering ten times slower than the others:
// hosts run side by side, so the whole check should take about as long as the slow host's own
// chain of requests run alone (target: at most 1.2 times).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <cstdio>

#include "core/services.h"
#include "engines/servicecheck.h"
#include "standinfixture.h"

using namespace zorvan;

namespace {

constexpr int FastMs = 20;
constexpr int SlowMs = 10 * FastMs;

// The best of a few runs, in milliseconds.
double checkMs(const QList<Figure>& only, int runs = 3) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        ServiceCheck check;
        QEventLoop loop;
        QObject::connect(&check, &ServiceCheck::finished, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        check.start(QStringLiteral("sample.net"), only);
        if (!check.isFinished()) loop.exec();
        best = std::min(best, double(clock.nsecsElapsed()) / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    test::StandinFixture fx(20000);
    fx.services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes"));
    fx.services.setLatency(QString(), FastMs);
    // Baidu's two rules cost the most requests with the sample pages: a declared charset and a
    // second wording.
    fx.services.setLatency(Role::Baidu, SlowMs);
    const QList<Figure> slowChain = {Figure::IndexedBaidu, Figure::BacklinksBaidu};

    checkMs({}, 1);  // warm-up: connections and decoders
    fx.services.clearLog();
    checkMs(slowChain, 1);
    const size_t slowRequests = fx.services.log(Role::Baidu).size();
    fx.services.clearLog();
    checkMs({}, 1);
    const size_t allRequests = fx.services.log().size();

    const double chain = checkMs(slowChain);
    const double all = checkMs({});
    // What the same requests would take one after another, for scale.
    const double serial =
        double(allRequests - slowRequests) * FastMs + double(slowRequests) * SlowMs;
    std::printf(
        "check of all %d rules (%zu requests, %d ms per answer, Baidu %d ms): %.0f ms (one after "
        "another: "
        "~%.0f ms); Baidu's own chain (%zu requests) alone: %.0f ms; ratio %.2f (target <= 1.2)\n",
        FigureCount, allRequests, FastMs, SlowMs, all, serial, slowRequests, chain, all / chain);
    return 0;
}
