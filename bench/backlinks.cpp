// The backlink walk at its largest: 19 result pages of 50 results behind a 20 ms latency.
// Prints the wall time against the bound of 20 requests times the latency and against the same
// requests fetched bare in this run (the listing's own cost), and the longest
// stall of the window's event loop (timer gaps) against a 16 ms frame while the list rebuilds, with
// the window's own share of it (cutting a page, rebuilding the list) measured apart, since on a
// busy machine the gaps also hold time the process was not scheduled.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <cstdio>

#include "core/services.h"
#include "net/fetch.h"
#include "standinfixture.h"
#include "support/benchutil.h"
#include "tools/backlink.h"
#include "tools/gui/backlinkwindow.h"

using namespace zorvan;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int latencyMs = 20;
    constexpr int requests = 20;
    constexpr int frameMs = 16;

    test::StandinFixture fx(5000);
    QString page = QStringLiteral("<p>共 <strong>3,200</strong> 条</p>\n");
    for (int n = 1; n <= 50; ++n)
        page += QStringLiteral(
                    "%1. <a class=\"t\" "
                    "href=\"http://site-%1.example.cn/dir/page-%1.html\">链接页面 %1</a>"
                    "<span>site-%1.example.cn - 快讯</span>\n")
                    .arg(n);
    fx.services.setRoute(Role::Yahoo, "/", standin::Page{page.toUtf8(), 200});
    fx.services.setLatency(Role::Yahoo, latencyMs);

    // Baseline: the same 20 requests fetched bare, without parsing or a list.
    QElapsedTimer bare;
    bare.start();
    QStringList addresses;
    for (int p = 0; p < requests; ++p)
        addresses.append(backlinkPageUrl(QStringLiteral("example.cn"), p));
    bench::fetchInTurn(addresses);
    const double bareMs = double(bare.nsecsElapsed()) / 1e6;
    fx.services.clearLog();

    BacklinkWindow window;
    window.resize(800, 500);
    window.show();
    window.domainBox()->setText(QStringLiteral("example.cn"));

    QElapsedTimer clock;
    qint64 lastTick = -1;
    qint64 longestStall = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick >= 0) longestStall = std::max(longestStall, now - lastTick);
        lastTick = now;
    });

    // The window's own share of a stall: cutting one page, and each rebuild of the list.
    QElapsedTimer cut;
    cut.start();
    const qsizetype cutEntries = extractBacklinks(page).size();
    const double cutMs = double(cut.nsecsElapsed()) / 1e6;
    QElapsedTimer rebuild;
    qint64 longestRebuild = 0;
    QObject::connect(window.list()->model(), &QAbstractItemModel::modelAboutToBeReset,
                     [&] { rebuild.start(); });
    QObject::connect(&window.listing(), &BacklinkListing::pageListed,
                     [&] { longestRebuild = std::max(longestRebuild, rebuild.nsecsElapsed()); });

    clock.start();
    ticker.start();
    QEventLoop walk;
    QObject::connect(&window, &BacklinkWindow::queryFinished, &walk, &QEventLoop::quit);
    window.runQuery();
    walk.exec();
    const double wallMs = double(clock.nsecsElapsed()) / 1e6;
    ticker.stop();

    const int rows = window.list()->model()->rowCount();
    const int made = int(fx.services.targets(Role::Yahoo).size());
    const double boundMs = double(requests * latencyMs);
    const double stallMs = double(longestStall) / 1e6;
    std::printf("backlink walk: %d requests, %d rows\n", made, rows);
    std::printf("wall time %.1f ms / bound %.0f ms (%d x %d ms) = ratio %.2f\n", wallMs, boundMs,
                requests, latencyMs, wallMs / boundMs);
    std::printf("wall time %.1f ms / the same requests fetched bare %.1f ms = ratio %.2f\n", wallMs,
                bareMs, wallMs / bareMs);
    std::printf("longest event-loop stall %.1f ms / frame %d ms = ratio %.2f\n", stallMs, frameMs,
                stallMs / frameMs);
    const double ownMs = cutMs + double(longestRebuild) / 1e6;
    std::printf(
        "own work per page: cut %.2f ms (%lld entries) + longest rebuild %.2f ms = %.2f ms / frame "
        "%d ms "
        "= ratio %.2f\n",
        cutMs, qlonglong(cutEntries), double(longestRebuild) / 1e6, ownMs, frameMs,
        ownMs / frameMs);
    return rows == 950 && made == requests ? 0 : 1;
}
