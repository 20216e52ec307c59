// The site group window at 10,000 domains, and the HTML report over three years of a thousand.
// Window: every row filled as a finished run reports it (one event per domain, the view shown and
// sorted), a sort by a count column, a scroll through the whole table; the longest event-loop
// stall, the sort's time and the peak resident memory, each against its target. Report: the
// 1,000 × 1,095 history through the real zorvan-cli report --html, its time against one plain
// read of the file, and the size written.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "core/platform.h"
#include "sitegroup/gui/sitegroupwindow.h"
#include "sitegroup/sitetable.h"
#include "standinfixture.h"
#include "support/benchutil.h"
#include "support/bighistory.h"

using namespace zorvan;

namespace {

constexpr int Rows = 10000;
constexpr double StallTargetMs = 16;
constexpr double SortTargetMs = 100;
constexpr long RssTargetKb = 150 * 1024;

// The longest event the window handled: while it runs, the loop does not turn.
class StallWatch {
  public:
    template <typename F>
    void measure(F f) {
        QElapsedTimer clock;
        clock.start();
        f();
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        longest_ = std::max(longest_, ms);
        over_ += ms > StallTargetMs ? 1 : 0;
        ++events_;
    }
    double take() {
        const double longest = longest_;
        longest_ = 0;
        return longest;
    }
    // Events longer than the target since the last call.
    int takeOver() {
        const int over = over_;
        over_ = 0;
        return over;
    }
    int events() const { return events_; }

  private:
    double longest_ = 0;
    int events_ = 0;
    int over_ = 0;
};

void runUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

FigureValues figuresOf(int row) {
    FigureValues values;
    for (int k = 0; k < FigureCount; ++k) {
        const qint64 n = (qint64(row) * 7919 + k * 104729) % 5000000;
        values[Figure(k)] = row % 97 == 0 ? QStringLiteral("X") : QStringLiteral("约%1").arg(n);
    }
    return values;
}

int benchWindow() {
    SiteGroupWindow window(false);
    window.resize(1280, 800);
    window.show();
    QStringList domains;
    for (int r = 0; r < Rows; ++r) domains.append(bench::bigHistoryDomain(r));
    window.setDomains(domains);
    SiteTableModel* table = window.table();
    window.view()->sortByColumn(SiteTableModel::DomainColumn, Qt::AscendingOrder);
    std::array<Verdict, FigureCount> verdicts;
    verdicts.fill(Verdict::Ok);
    const QList<StoredRecord> before{
        {QStringLiteral("2026-1-1"), figuresOf(Rows + 1)}};  // something to compare with
    const QDateTime when = QDateTime::currentDateTime();

    StallWatch watch;
    QElapsedTimer fill;
    fill.start();
    int filled = 0;
    // Each domain's report arrives as its own event, as a run's do.
    for (int r = 0; r < Rows; ++r)
        QTimer::singleShot(0, &window, [&, r] {
            watch.measure([&] {
                table->setInFlight(r, true);
                table->showQuery(r, figuresOf(r), verdicts, before, when);
                // The view repaints what changed, as it would on screen.
                window.view()->viewport()->repaint();
            });
            ++filled;
        });
    runUntil([&] { return filled == Rows; });
    const double fillMs = double(fill.nsecsElapsed()) / 1e6;
    const double fillStall = watch.take();
    const int fillOver = watch.takeOver();

    const int column = SiteTableModel::columnOf(Figure::IndexedBaidu);
    std::vector<double> sorts;
    for (int i = 0; i < 5; ++i)
        sorts.push_back(bench::timeMs([&] {
            window.view()->sortByColumn(column, i % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
        }));
    const double sortMs = bench::median(sorts);

    QScrollBar* bar = window.view()->verticalScrollBar();
    int step = 0;
    for (int at = 0; at <= bar->maximum(); at += bar->pageStep()) {
        QTimer::singleShot(0, &window, [&, at] {
            watch.measure([&] {
                bar->setValue(at);
                window.view()->viewport()->repaint();
            });
            ++step;
        });
    }
    const int steps = bar->maximum() / std::max(1, bar->pageStep()) + 1;
    runUntil([&] { return step == steps; });
    const double scrollStall = watch.take();
    const int scrollOver = watch.takeOver();
    const long rss = bench::peakRssKb();

    std::printf(
        "site group window, %d rows: fill %.0f ms, longest stall while filling %.1f ms "
        "(%.2f of %.0f ms; %d of %d events over it)\n",
        Rows, fillMs, fillStall, fillStall / StallTargetMs, StallTargetMs, fillOver, Rows);
    std::printf(
        "  sort by 百度收录 %.1f ms (%.2f of %.0f ms); longest stall scrolling %d pages "
        "%.1f ms (%.2f of %.0f ms; %d pages over it)\n",
        sortMs, sortMs / SortTargetMs, SortTargetMs, steps, scrollStall,
        scrollStall / StallTargetMs, StallTargetMs, scrollOver);
    std::printf("  peak RSS %ld MB (%.2f of %ld MB)\n", rss / 1024, double(rss) / RssTargetKb,
                RssTargetKb / 1024);
    return 0;
}

int benchReport() {
    QTemporaryDir home;
    const QString history = home.filePath(QStringLiteral("history.txt"));
    if (!bench::writeBigHistory(history, 1000, 1095, QDate::currentDate())) return 1;
    const double readMs = bench::timeMs([&] {
        QFile f(history);
        if (f.open(QIODevice::ReadOnly))
            while (!f.read(1 << 20).isEmpty()) {
            }
    });
    qputenv("ZORVAN_HOME", home.path().toUtf8());
    const QByteArray program =
        QCoreApplication::applicationDirPath().toUtf8() + "/../bin/zorvan-cli";
    const QByteArray out = home.filePath(QStringLiteral("site")).toUtf8();
    QElapsedTimer clock;
    clock.start();
    const bench::Spawned run = bench::runCommand(program, {"report", "--html", out});
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    qint64 bytes = 0;
    int files = 0;
    for (const QFileInfo& f : QDir(QString::fromUtf8(out)).entryInfoList(QDir::Files)) {
        bytes += f.size();
        ++files;
    }
    std::printf(
        "report --html, 1,000 domains × 1,095 days (%.0f MB): %.1f s, %.0f× one read of "
        "the file; %d files, %.0f MB; peak RSS %ld MB; status %d\n",
        double(QFileInfo(history).size()) / 1e6, ms / 1000, ms / std::max(1.0, readMs), files,
        double(bytes) / 1e6, run.maxRssKb / 1024, run.status);
    return run.status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::StandinFixture fx;  // a data folder of its own
    const int window = benchWindow();
    return window | benchReport();
}
