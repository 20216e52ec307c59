#pragma once

#include <QList>
#include <QStringList>
#include <optional>

#include "notify/runcollector.h"
#include "notify/runsummary.h"
#include "notify/targets.h"

namespace zorvan::cli {

struct Console;

// The targets of notify.json, its problems told on err; nothing when there is no such file.
// reportUrl (when given) gets its "report_url".
std::optional<QList<NotifyTarget>> notifyTargets(Console& console, QString* reportUrl);

// Sends each alert to every target in turn; each one that still fails after its retries is told
// on err with its answer (never its address or secret). True when every target took every alert.
bool sendAlerts(const QList<NotifyTarget>& targets, const QList<Alert>& alerts,
                const RunSummary* summary, Console& console, bool printDelivered);

// --notify on a run: where its alerts go and what it found for them, gathered as each domain ends.
struct RunAlerts {
    std::optional<QList<NotifyTarget>> targets;  // none without notify.json
    QString reportUrl;
    RunCollector collector;
};

// A run's alerts when --notify was given; a missing notify.json, or one without a usable target,
// is told once and the run goes on.
std::optional<RunAlerts> runAlerts(bool notify, Console& console);

// Sends what the run found, if anything. False when an alert that was due reached not every
// target, or no target at all.
bool sendRunAlerts(const RunAlerts& alerts, Console& console);

}  // namespace zorvan::cli
