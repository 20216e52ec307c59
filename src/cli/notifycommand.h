#pragma once

#include <QList>
#include <QStringList>
#include <optional>

#include "notify/runsummary.h"
#include "notify/targets.h"

namespace zorvan::cli {

struct Console;

// The targets of notify.json, its problems told on err; nothing when there is no such file.
std::optional<QList<NotifyTarget>> notifyTargets(Console& console);

// Sends an alert to every target; each one that still fails after its retries is told on err
// with its answer (never its address or secret). True when every target took it.
bool sendAlert(const QList<NotifyTarget>& targets, const Alert& alert, const RunSummary* summary,
               Console& console, bool printDelivered);

}  // namespace zorvan::cli
