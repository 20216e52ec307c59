#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QList>
#include <algorithm>
#include <vector>

#include <QEventLoop>

#include "engines/countrows.h"
#include "fetch/sequencer.h"
#include "fetch/services.h"
#include "standin.h"

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
// declaring its charset (three requests per value); the PageRank pair answers 5.
inline void serveEveryRow(standin::Services& services) {
    QHash<QString, QString> pages;
    for (const auto* batch : {&windowBatchRows(), &engineBatchRows(), &youdaoBatchRows(), &sogouYahooBatchRows()})
        for (const CountRow& row : *batch)
            pages[row.role] += row.start + QStringLiteral("1,234") + row.end + QStringLiteral("\n");
    for (auto it = pages.cbegin(); it != pages.cend(); ++it)
        services.setRoute(it.key(), "/", QStringLiteral("<meta charset=\"utf-8\">\n") + it.value());
    services.setRoute(Role::PageRank, "/?PRAddress=",
                      QStringLiteral("<meta charset=\"utf-8\"><iframe src=\"http://") + serviceHost(Role::PageRank) +
                          QStringLiteral("/rank?u=http://x\">"));
    services.setRoute(Role::PageRank, "/rank", QStringLiteral("Rank_1:1:5"));
}

// Fetches the addresses one after another on one chain, as the tools do, and waits for the last.
inline void fetchInTurn(const QStringList& addresses) {
    RequestSequencer requests;
    QList<ChainStep> steps;
    for (const QString& address : addresses)
        steps.append([address](const Chain& chain) { chain.fetch(address, [](const FetchResult&) {}); });
    QEventLoop loop;
    QObject::connect(&requests, &RequestSequencer::idle, &loop, &QEventLoop::quit);
    requests.run(QStringLiteral("bench"), steps);
    if (!requests.isIdle()) loop.exec();
}

}  // namespace zorvan::bench
