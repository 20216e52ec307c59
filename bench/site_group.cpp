// A site group through the real zorvan-cli: 1,000 generated domains at 16 jobs against the
// stand-in (each role on its own port, so each role is its own host), every answer 20 ms late and
// at least 50 ms between two request starts at one host. Prints the wall time against the bound
// (the busiest host's requests times the interval, or the per-domain critical path times domains
// over jobs, whichever is larger), the same list at one job (a shorter list, scaled), the peak
// resident memory at 1,000 and at 10,000 domains (both unpaced, so only the list's length
// differs), and the largest gap violation the stand-in saw at any host. Exits non-zero only when
// a run fails or a host saw two starts clearly closer than the interval.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>

#include "engines/countrows.h"
#include "standinfixture.h"
#include "support/benchutil.h"

using namespace zorvan;

namespace {

constexpr int LatencyMs = 20;
constexpr int IntervalMs = 50;
constexpr int Jobs = 16;
constexpr int Domains = 1000;
constexpr int SerialDomains = 40;
// The window stream's requests per domain (one per value, pages declaring no charset): its rows
// and the PageRank pair; the rest are the worker stream's.
const int WindowRequests = int(windowBatchRows().size()) + 2;
// The stand-in stamps a start when it has read the request, so a request held a little longer on
// its way there than the next shows a gap a little short; beyond this it is a fault.
constexpr int AllowanceMs = 10;

struct Run {
    double wallMs = 0;
    bench::Spawned spawned;
    std::vector<standin::LogEntry> log;
};

QList<QByteArray> domainNames(int count) {
    QList<QByteArray> names;
    for (int i = 0; i < count; ++i) names.append(QByteArray("site") + QByteArray::number(i) + ".example");
    return names;
}

Run runList(test::StandinFixture& fx, int count, int jobs, int intervalMs, const QByteArray& errFile) {
    const QByteArray program = QCoreApplication::applicationDirPath().toUtf8() + "/../bin/zorvan-cli";
    QList<QByteArray> arguments = {"query", "--format", "csv", "--jobs", QByteArray::number(jobs), "--host-interval",
                                   QByteArray::number(intervalMs), "--"};
    arguments += domainNames(count);
    fx.services.clearLog();
    Run run;
    QElapsedTimer clock;
    clock.start();
    run.spawned = bench::runCommand(program, arguments, errFile);
    run.wallMs = double(clock.nsecsElapsed()) / 1e6;
    run.log = fx.services.log();
    return run;
}

// Requests per host, and the smallest gap between two starts at any one host.
std::pair<QHash<QString, int>, qint64> perHost(const std::vector<standin::LogEntry>& log) {
    std::map<QString, std::vector<qint64>> starts;
    for (const auto& entry : log) starts[entry.role].push_back(entry.startMs);
    QHash<QString, int> counts;
    qint64 smallestGap = std::numeric_limits<qint64>::max();
    for (auto& [role, times] : starts) {
        std::sort(times.begin(), times.end());
        counts[role] = int(times.size());
        for (size_t i = 1; i < times.size(); ++i) smallestGap = std::min(smallestGap, times[i] - times[i - 1]);
    }
    return {counts, smallestGap};
}

bool failed(const Run& run, const char* what, const QByteArray& errFile) {
    if (run.spawned.status == 0 && !run.log.empty()) return false;
    std::printf("%s: the command failed (status %d); its errors are in %s\n", what, run.spawned.status,
                errFile.constData());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    test::StandinFixture fx(20000);
    bench::serveEveryRow(fx.services, false);
    fx.services.setLatency(QString(), LatencyMs);
    QTemporaryDir scratch;
    scratch.setAutoRemove(false);
    const QByteArray errFile = scratch.filePath(QStringLiteral("stderr.txt")).toUtf8();

    const Run serial = runList(fx, SerialDomains, 1, IntervalMs, errFile);
    if (failed(serial, "1 job", errFile)) return 1;
    const Run group = runList(fx, Domains, Jobs, IntervalMs, errFile);
    if (failed(group, "16 jobs", errFile)) return 1;

    const auto [counts, smallestGap] = perHost(group.log);
    const auto busiest = std::max_element(counts.cbegin(), counts.cend());
    const int perDomain = int(group.log.size()) / Domains;
    const double hostBound = double(*busiest) * IntervalMs;
    const double pathBound = double(std::max(WindowRequests, perDomain - WindowRequests)) * LatencyMs * Domains / Jobs;
    const double bound = std::max(hostBound, pathBound);
    const double serialScaled = serial.wallMs * Domains / SerialDomains;
    std::printf("%d domains, %d requests each, latency %d ms, host interval %d ms\n", Domains, perDomain, LatencyMs,
                IntervalMs);
    std::printf("16 jobs: %.1f s; bound %.1f s (busiest host %s: %d requests x %d ms; critical path %.1f s); "
                "ratio %.3f (target <= 1.05)\n",
                group.wallMs / 1000, bound / 1000, qPrintable(busiest.key()), *busiest, IntervalMs, pathBound / 1000,
                group.wallMs / bound);
    std::printf("1 job: %d domains in %.1f s, scaled to %d: %.1f s; 16 jobs are %.1f times as fast\n", SerialDomains,
                serial.wallMs / 1000, Domains, serialScaled / 1000, serialScaled / group.wallMs);
    const qint64 violation = std::max<qint64>(0, IntervalMs - smallestGap);
    std::printf("smallest gap between two starts at one host: %lld ms; largest violation %lld ms as the stand-in "
                "saw it (target none; above %d ms fails)\n",
                static_cast<long long>(smallestGap), static_cast<long long>(violation), AllowanceMs);

    // Memory against the list's length alone: no latency, no pacing.
    fx.services.setLatency(QString(), 0);
    const Run small = runList(fx, Domains, Jobs, 0, errFile);
    const Run large = runList(fx, Domains * 10, Jobs, 0, errFile);
    if (failed(small, "1,000 unpaced", errFile) || failed(large, "10,000 unpaced", errFile)) return 1;
    std::printf("peak RSS: 1,000 domains %.1f MB (paced run %.1f MB), 10,000 domains %.1f MB; ratio %.3f "
                "(target <= 1.10)\n",
                small.spawned.maxRssKb / 1024.0, group.spawned.maxRssKb / 1024.0, large.spawned.maxRssKb / 1024.0,
                double(large.spawned.maxRssKb) / double(small.spawned.maxRssKb));
    return violation > AllowanceMs ? 1 : 0;
}
