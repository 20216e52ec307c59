#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QList>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

#include "core/services.h"
#include "engines/countrows.h"
#include "net/sequencer.h"
#include "standin.h"

extern char** environ;

namespace zorvan::bench {

// The process's peak resident memory so far, in kB (VmHWM); -1 when unknown.
inline long peakRssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double timeMs(F f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

// One page per role holding the markers of every row that asks it, each with a value, every page
// declaring its charset (three requests per value) unless told not to (one request per value); the
// PageRank pair answers 5.
inline void serveEveryRow(standin::Services& services, bool declareCharset = true) {
    QHash<QString, QString> pages;
    for (const auto* batch :
         {&windowBatchRows(), &engineBatchRows(), &youdaoBatchRows(), &sogouYahooBatchRows()})
        for (const CountRow& row : *batch)
            pages[row.role] += row.start + QStringLiteral("1,234") + row.end + QStringLiteral("\n");
    for (auto it = pages.cbegin(); it != pages.cend(); ++it)
        services.setRoute(
            it.key(), "/",
            (declareCharset ? QStringLiteral("<meta charset=\"utf-8\">\n") : QString()) +
                it.value());
    services.setRoute(Role::PageRank, "/?PRAddress=",
                      QStringLiteral("<meta charset=\"utf-8\"><iframe src=\"http://") +
                          serviceHost(Role::PageRank) + QStringLiteral("/rank?u=http://x\">"));
    services.setRoute(Role::PageRank, "/rank", QStringLiteral("Rank_1:1:5"));
}

// Fetches the addresses one after another on one chain, as the tools do, and waits for the last.
inline void fetchInTurn(const QStringList& addresses) {
    RequestSequencer requests;
    QList<ChainStep> steps;
    for (const QString& address : addresses)
        steps.append(
            [address](const Chain& chain) { chain.fetch(address, [](const FetchResult&) {}); });
    QEventLoop loop;
    QObject::connect(&requests, &RequestSequencer::idle, &loop, &QEventLoop::quit);
    requests.run(QStringLiteral("bench"), steps);
    if (!requests.isIdle()) loop.exec();
}

struct Spawned {
    int status = -1;
    long maxRssKb = -1;
};

// The resident high-water mark of a running process, in kB; -1 once it is gone.
inline long processHwmKb(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Runs a program and waits for it, watching its own memory's high-water mark (the rusage of a
// spawned child would also count the memory of this process, which it starts from). Its output
// goes nowhere; its errors to errFile when one is named. watch, when given, is called at each look.
inline Spawned runCommand(const QByteArray& program, const QList<QByteArray>& arguments,
                          const QByteArray& errFile = QByteArray(),
                          const std::function<void()>& watch = {}) {
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (const QByteArray& a : arguments) argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!errFile.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 2, errFile.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    Spawned result;
    const int spawned =
        posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return result;
    int status = 0;
    for (;;) {
        result.maxRssKb = std::max(result.maxRssKb, processHwmKb(pid));
        if (watch) watch();
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        usleep(500);
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The longest the event loop went without turning since start(), read by a 1 ms timer.
class StallWatch {
  public:
    StallWatch() {
        ticker_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            stall_ = std::max(stall_, now - lastTick_);
            lastTick_ = now;
        });
    }
    void start() {
        lastTick_ = stall_ = 0;
        clock_.start();
        ticker_.start(1);
    }
    void stop() { ticker_.stop(); }
    qint64 elapsed() const { return clock_.elapsed(); }
    qint64 longest() const { return stall_; }

  private:
    QElapsedTimer clock_;
    QTimer ticker_;
    qint64 lastTick_ = 0, stall_ = 0;
};

}  // namespace zorvan::bench
