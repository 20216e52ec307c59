// notify --test: a short message to every target of notify.json, and each one's answer.
#include "cli/notifycommand.h"

#include "cli/cli.h"
#include "core/platform.h"
#include "net/fetch.h"
#include "notify/delivery.h"

namespace zorvan::cli {

std::optional<QList<NotifyTarget>> notifyTargets(Console& console, QString* reportUrl) {
    const LoadedTargets loaded = loadNotifyTargets();
    if (reportUrl) *reportUrl = loaded.reportUrl;
    if (loaded.othersMayRead) console.fail(notifyFileWarning(notifyFilePath()));
    QStringList problems;
    for (const NotifyProblem& p : loaded.problems) problems.append(describeNotifyProblem(p));
    console.failFirst(problems);
    if (!loaded.fileFound) {
        console.fail(QStringLiteral("no targets: ") + notifyFilePath() +
                     QStringLiteral(" does not exist"));
        return std::nullopt;
    }
    return loaded.targets;
}

bool sendAlerts(const QList<NotifyTarget>& targets, const QList<Alert>& alerts,
                const RunSummary* summary, Console& console, bool printDelivered) {
    // The command's own event loop, as the query's: nothing else runs meanwhile.
    std::optional<QList<DeliveryResult>> results;
    runUntil(
        [&](QObject* context, const std::function<void()>& wake) {
            deliverEachAsync(targets, alerts, summary, context,
                             [&results, wake](const QList<DeliveryResult>& r) {
                                 results = r;
                                 wake();
                             });
        },
        [&] { return results.has_value(); });
    if (!results) return false;
    bool all = true;
    for (const DeliveryResult& r : *results) {
        if (r.delivered) {
            if (printDelivered) console.out << r.target << ": delivered: " << r.answer << '\n';
        } else {
            all = false;
            console.fail(r.failure());
        }
    }
    return all;
}

std::optional<RunAlerts> runAlerts(bool notify, Console& console) {
    if (!notify) return std::nullopt;
    QString reportUrl;
    auto targets = notifyTargets(console, &reportUrl);
    RunAlerts alerts{std::move(targets), reportUrl, RunCollector(platform().now())};
    if (alerts.targets && alerts.targets->isEmpty())
        console.fail(QStringLiteral("no usable target in ") + notifyFilePath() +
                     QStringLiteral(": no alert is sent"));
    return alerts;
}

bool sendRunAlerts(const RunAlerts& alerts, Console& console) {
    RunSummary summary = alerts.collector.finish(platform().now());
    summary.reportUrl = alerts.reportUrl;
    const QList<Alert> due = alertsForRun(summary);
    if (due.isEmpty()) return true;
    if (!alerts.targets || alerts.targets->isEmpty()) return false;
    return sendAlerts(*alerts.targets, due, &summary, console, false);
}

// The parser lets notify run only with --test.
int runNotify(const Invocation&, Console& console) {
    const auto targets = notifyTargets(console, nullptr);
    if (!targets) return FileFailed;
    if (targets->isEmpty()) {
        console.fail(QStringLiteral("no usable target in ") + notifyFilePath());
        return UsageError;
    }
    return sendAlerts(*targets, {testAlert(platform().now())}, nullptr, console, true)
               ? Ran
               : NotifyFailed;
}

}  // namespace zorvan::cli
