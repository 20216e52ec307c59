#include "history/historysaver.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include "core/platform.h"

namespace zorvan {

namespace {

#ifdef Q_OS_WIN
std::atomic<HistorySaver*> terminationSaver{nullptr};

// Ctrl+C, Ctrl+Break or the console window closed: runs on a thread of its own, hands the rest to
// the event loop and waits there, as the process ends once the last groups are written.
BOOL WINAPI onConsoleControl(DWORD) {
    HistorySaver* saver = terminationSaver.load();
    if (!saver) return FALSE;
    QMetaObject::invokeMethod(
        saver,
        [saver] {
            saver->finish();
            ExitProcess(STATUS_CONTROL_C_EXIT);
        },
        Qt::QueuedConnection);
    Sleep(INFINITE);
    return TRUE;
}
#else
int terminationPipe[2] = {-1, -1};
struct sigaction previousInt, previousTerm;

void onTerminationSignal(int signal) {
    const char byte = char(signal);
    // Nothing else is safe here: the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(terminationPipe[1], &byte, 1);
}
#endif

}  // namespace

// The writing thread: takes every group handed over since its last write as one, so a write that
// waited for the lock catches up in one rewrite.
struct HistorySaver::Writer {
    struct Result {
        QStringList domains;
        FileError problem;
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable written;
    QList<DatedRecord> queued;
    QList<Result> results;
    bool busy = false;
    bool stopping = false;
    int rewrites = 0;
    std::thread thread;

    void run(const QString& path, HistorySaver* owner) {
        std::unique_lock lock(mutex);
        for (;;) {
            // A stopping writer still writes what was handed over.
            wake.wait(lock, [this] { return stopping || !queued.isEmpty(); });
            if (queued.isEmpty()) return;
            const QList<DatedRecord> group = std::exchange(queued, {});
            busy = true;
            lock.unlock();
            const FileError problem = saveHistoryGroupTo(path, group);
            QStringList domains;
            for (const DatedRecord& r : group) domains.append(r.domain);
            lock.lock();
            busy = false;
            if (!problem) ++rewrites;
            results.append({domains, problem});
            written.notify_all();
            QMetaObject::invokeMethod(owner, &HistorySaver::deliver, Qt::QueuedConnection);
        }
    }
};

HistorySaver::HistorySaver(const QString& path, QObject* parent, std::chrono::milliseconds grouping)
    : QObject(parent), path_(path), timer_(new QTimer(this)), writer_(std::make_unique<Writer>()) {
    timer_->setSingleShot(true);
    timer_->setInterval(grouping);
    connect(timer_, &QTimer::timeout, this, &HistorySaver::flush);
    writer_->thread = std::thread([this] { writer_->run(path_, this); });
}

HistorySaver::~HistorySaver() {
    // Whoever listened may be half gone by now: the last groups are written, not told.
    flush();
    {
        std::lock_guard lock(writer_->mutex);
        writer_->stopping = true;
    }
    writer_->wake.notify_all();
    writer_->thread.join();
    if (terminationHandled_) {
#ifdef Q_OS_WIN
        SetConsoleCtrlHandler(onConsoleControl, FALSE);
        terminationSaver = nullptr;
#else
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
#endif
    }
}

void HistorySaver::save(const QString& domain, const FigureValues& figures, const QDate& day) {
    pending_.append({domain, shortDate(day), figures});
    if (!timer_->isActive()) timer_->start();
}

void HistorySaver::flush() {
    timer_->stop();
    if (pending_.isEmpty()) return;
    {
        std::lock_guard lock(writer_->mutex);
        writer_->queued += std::exchange(pending_, {});
    }
    writer_->wake.notify_all();
}

void HistorySaver::finish() {
    flush();
    {
        std::unique_lock lock(writer_->mutex);
        writer_->written.wait(lock, [this] { return writer_->queued.isEmpty() && !writer_->busy; });
    }
    deliver();
}

bool HistorySaver::isIdle() const {
    std::lock_guard lock(writer_->mutex);
    return pending_.isEmpty() && writer_->queued.isEmpty() && !writer_->busy &&
           writer_->results.isEmpty();
}

int HistorySaver::rewrites() const {
    std::lock_guard lock(writer_->mutex);
    return writer_->rewrites;
}

void HistorySaver::deliver() {
    QList<Writer::Result> results;
    {
        std::lock_guard lock(writer_->mutex);
        results = std::exchange(writer_->results, {});
    }
    for (const Writer::Result& r : results) Q_EMIT groupDone(r.domains, r.problem);
    if (!results.isEmpty() && isIdle()) Q_EMIT idle();
}

void HistorySaver::finishOnTermination() {
    if (terminationHandled_) return;
#ifdef Q_OS_WIN
    terminationSaver = this;
    terminationHandled_ = SetConsoleCtrlHandler(onConsoleControl, TRUE);
#else
    if (terminationPipe[0] < 0 && ::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    terminationHandled_ = true;
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(terminationPipe[0], &byte, 1) != 1) return;
        finish();
        std::signal(int(byte), SIG_DFL);
        std::raise(int(byte));
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
#endif
}

}  // namespace zorvan
