#pragma once

#include <QList>
#include <QObject>
#include <functional>

#include "notify/platforms.h"

namespace zorvan {

// How hard a target is tried: each POST ends within timeoutMs; a time-out, a 5xx or the
// platform's error answer is asked again after each of the delays in turn.
struct DeliveryPlan {
    int timeoutMs = 10000;
    QList<int> retryDelaysMs{1000, 4000};
};

struct DeliveryResult {
    QString target;  // the target's label: kind and host, never its address
    bool delivered = false;
    int attempts = 0;
    QString answer;  // the last answer or why there was none, with the key and secret blanked out
    // "dingtalk oapi.dingtalk.com: not delivered after 3 attempts: HTTP 200 {...}"
    QString failure() const;
};

// Sends an alert to every target at once and calls done once, later, with each target's result
// in target order. Nothing is called when context is destroyed first; that aborts every POST.
void deliverAsync(const QList<NotifyTarget>& targets, const Alert& alert, const RunSummary* summary,
                  QObject* context, std::function<void(const QList<DeliveryResult>&)> done,
                  const DeliveryPlan& plan = {});

// Sends each alert to every target, one alert after another, and calls done once, later,
// with every result: the first alert's targets in order, then the next one's. Nothing is called
// when context is destroyed first.
void deliverEachAsync(const QList<NotifyTarget>& targets, const QList<Alert>& alerts,
                      const RunSummary* summary, QObject* context,
                      std::function<void(const QList<DeliveryResult>&)> done,
                      const DeliveryPlan& plan = {});

// A run's alerts to the targets of notify.json, in the background: problems of the file and
// failed targets go to the log, since nothing may interrupt the person. False, and done never
// called, when there is no notify.json; otherwise done is called once, when every alert has
// reached its targets or been given up on (at once when there is nothing to send).
bool deliverRunAlerts(RunSummary summary, QObject* context, std::function<void()> done);

// text with the target's secret and the key-bearing parts of its address blanked out.
QString withoutSecrets(QString text, const NotifyTarget& target);

}  // namespace zorvan
