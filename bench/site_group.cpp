// A site group through the real zorvan-cli: 1,000 generated domains at 16 jobs against the
// stand-in (each role on its own port, so each role is its own host), every answer 20 ms late and
// at least 50 ms between two request starts at one host. Prints the wall time against the bound
// (the busiest host's requests times the interval, or the per-domain critical path times domains
// over jobs, whichever is larger), the same list at one job (a shorter list, scaled), the peak
// resident memory at 1,000 and at 10,000 domains (every service refusing, so only the list's length
// differs), and the gaps the stand-in saw at each host. Exits non-zero only when a run fails or a
// host saw two starts clearly closer than the interval.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>

#include "core/services.h"
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
// The stand-in stamps a start when its handler has read the request, so a request held a little
// longer on its way there than the next (a new connection, a handler thread waiting for one of two
// busy cores) shows a gap a little short; beyond this it is a fault. The proxies' benchmark allows
// twice as much for its second hop.
constexpr int AllowanceMs = 20;

struct Run {
    double wallMs = 0;
    bench::Spawned spawned;
    std::vector<standin::LogEntry> log;
};

QList<QByteArray> domainNames(int count) {
    QList<QByteArray> names;
    for (int i = 0; i < count; ++i)
        names.append(QByteArray("site") + QByteArray::number(i) + ".example");
    return names;
}

Run runList(test::StandinFixture& fx, int count, int jobs, int intervalMs,
            const QByteArray& errFile) {
    const QByteArray program =
        QCoreApplication::applicationDirPath().toUtf8() + "/../bin/zorvan-cli";
    QList<QByteArray> arguments = {"query",
                                   "--format",
                                   "csv",
                                   "--jobs",
                                   QByteArray::number(jobs),
                                   "--host-interval",
                                   QByteArray::number(intervalMs),
                                   "--"};
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

struct HostGaps {
    QHash<QString, int> requests;
    int gaps = 0;
    int short_ = 0;  // gaps shorter than the interval by more than the allowance
    qint64 smallest = std::numeric_limits<qint64>::max();
    QString smallestAt;
};

// Requests per host, and the gaps between two starts at one host as the stand-in saw them.
HostGaps perHost(const std::vector<standin::LogEntry>& log) {
    std::map<QString, std::vector<qint64>> starts;
    for (const auto& entry : log) starts[entry.role].push_back(entry.startMs);
    HostGaps out;
    for (auto& [role, times] : starts) {
        std::sort(times.begin(), times.end());
        out.requests[role] = int(times.size());
        for (size_t i = 1; i < times.size(); ++i) {
            const qint64 gap = times[i] - times[i - 1];
            ++out.gaps;
            if (gap < IntervalMs - AllowanceMs) ++out.short_;
            if (gap < out.smallest) {
                out.smallest = gap;
                out.smallestAt = QStringLiteral("%1 at %2 ms").arg(role).arg(times[i]);
            }
        }
    }
    return out;
}

bool failed(const Run& run, const char* what, const QByteArray& errFile, bool logged = true) {
    if (run.spawned.status == 0 && (!logged || !run.log.empty())) return false;
    std::printf("%s: the command failed (status %d); its errors are in %s\n", what,
                run.spawned.status, errFile.constData());
    return true;
}

// Prints the paced run against its bound and the one-job run; false when a run failed or a host
// saw starts clearly closer than the interval.
bool timedRuns(test::StandinFixture& fx, int domains, const QByteArray& errFile) {
    const int serialDomains = std::min(domains, SerialDomains);
    const Run serial = runList(fx, serialDomains, 1, IntervalMs, errFile);
    const Run group = runList(fx, domains, Jobs, IntervalMs, errFile);
    if (failed(serial, "1 job", errFile) || failed(group, "16 jobs", errFile)) return false;
    const HostGaps gaps = perHost(group.log);
    const auto busiest = std::max_element(gaps.requests.cbegin(), gaps.requests.cend());
    const int perDomain = int(group.log.size()) / domains;
    const double hostBound = double(*busiest) * IntervalMs;
    const double pathBound =
        double(std::max(WindowRequests, perDomain - WindowRequests)) * LatencyMs * domains / Jobs;
    const double bound = std::max(hostBound, pathBound);
    const double serialScaled = serial.wallMs * domains / serialDomains;
    std::printf("%d domains, %d requests each, latency %d ms, host interval %d ms\n", domains,
                perDomain, LatencyMs, IntervalMs);
    std::printf(
        "16 jobs: %.1f s; bound %.1f s (busiest host %s: %d requests x %d ms; critical path %.1f "
        "s); "
        "ratio %.3f (target <= 1.05)\n",
        group.wallMs / 1000, bound / 1000, qPrintable(busiest.key()), *busiest, IntervalMs,
        pathBound / 1000, group.wallMs / bound);
    std::printf(
        "1 job: %d domains in %.1f s, scaled to %d: %.1f s; 16 jobs are %.1f times as fast\n",
        serialDomains, serial.wallMs / 1000, domains, serialScaled / 1000,
        serialScaled / group.wallMs);
    std::printf(
        "gaps between two starts at one host: %d; shorter than %d ms by more than %d ms: %d "
        "(target none); "
        "smallest %lld ms (%s)\n",
        gaps.gaps, IntervalMs, AllowanceMs, gaps.short_, static_cast<long long>(gaps.smallest),
        qPrintable(gaps.smallestAt));
    fflush(stdout);
    return gaps.short_ == 0;
}

// Peak memory against the list's length alone: every service refuses at once, so each query
// runs its whole course (both streams, the ordered report, the drop check) at the machine's pace.
bool memoryRuns(test::StandinFixture& fx, int domains, const QByteArray& errFile) {
    for (const QString& role : hostRoles()) fx.services.setFailure(role, standin::Failure::Refuse);
    const Run small = runList(fx, domains, Jobs, 0, errFile);
    const Run large = runList(fx, domains * 10, Jobs, 0, errFile);
    for (const QString& role : hostRoles()) fx.services.setFailure(role, standin::Failure::None);
    if (failed(small, "memory, shorter list", errFile, false) ||
        failed(large, "memory, longer list", errFile, false))
        return false;
    std::printf(
        "peak RSS at 16 jobs, every service refusing: %d domains %.1f MB, %d domains %.1f MB; "
        "ratio %.3f "
        "(target <= 1.10)\n",
        domains, small.spawned.maxRssKb / 1024.0, domains * 10, large.spawned.maxRssKb / 1024.0,
        double(large.spawned.maxRssKb) / double(small.spawned.maxRssKb));
    fflush(stdout);
    return true;
}

}  // namespace

// An argument other than the default 1,000 domains is for trying the benchmark out.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int domains = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : Domains;
    test::StandinFixture fx(20000);
    bench::serveEveryRow(fx.services, false);
    fx.services.setLatency(QString(), LatencyMs);
    QTemporaryDir scratch;
    scratch.setAutoRemove(false);
    const QByteArray errFile = scratch.filePath(QStringLiteral("stderr.txt")).toUtf8();
    const bool memory = memoryRuns(fx, domains, errFile);
    const bool timed = timedRuns(fx, domains, errFile);
    return memory && timed ? 0 : 1;
}
