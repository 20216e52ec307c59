#include "notify/delivery.h"

#include <QDebug>
#include <QNetworkReply>
#include <QTimer>
#include <QUrlQuery>
#include <memory>
#include <optional>

#include "core/platform.h"
#include "net/fetch.h"
#include "net/proxies.h"

namespace zorvan {
namespace {

constexpr qint64 MaxAnswerBytes = 64 * 1024;
constexpr qsizetype ShownAnswerChars = 300;

// Qt's own error texts name the whole address, so the words come from here.
QString failureWords(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
            return QStringLiteral("connection refused");
        case QNetworkReply::RemoteHostClosedError:
            return QStringLiteral("connection closed by the host");
        case QNetworkReply::HostNotFoundError:
            return QStringLiteral("host not found");
        case QNetworkReply::SslHandshakeFailedError:
            return QStringLiteral("TLS handshake failed");
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyConnectionClosedError:
        case QNetworkReply::ProxyNotFoundError:
        case QNetworkReply::ProxyTimeoutError:
        case QNetworkReply::ProxyAuthenticationRequiredError:
            return QStringLiteral("the proxy failed");
        default:
            return QStringLiteral("network error %1").arg(int(error));
    }
}

// The host a redirect points to, never its path or query: those may carry a key.
QString redirectHost(const QByteArray& location, const QUrl& from) {
    const QString host = from.resolved(QUrl::fromEncoded(location)).host();
    return host.isEmpty() ? QStringLiteral("an unknown place") : host;
}

// One target: a POST, then the retries its answers call for.
class TargetDelivery final : public QObject {
  public:
    TargetDelivery(const NotifyTarget& target, const Alert& alert, const RunSummary* summary,
                   const DeliveryPlan& plan, QObject* parent,
                   std::function<void(const DeliveryResult&)> done)
        : QObject(parent), target_(target), alert_(alert), plan_(plan), done_(std::move(done)) {
        if (summary) summary_ = *summary;
        result_.target = target.label();
        attempt();
    }

  private:
    void attempt() {
        ++result_.attempts;
        Outgoing out =
            composeRequest(target_, alert_, summary_ ? &*summary_ : nullptr, platform().now());
        FetchOptions options;
        options.timeoutMs = plan_.timeoutMs;
        // Past the cap an answer is cut off as it arrives: a robot's answer is a line of JSON.
        options.maxBodyBytes = MaxAnswerBytes;
        options.truncateAtCap = true;
        postThroughProxies(out.request, out.body, options, this,
                           [this](const FetchResult& r) { onAnswer(r); });
    }

    void onAnswer(const FetchResult& r) {
        bool retry = false;
        if (r.outcome == FetchOutcome::NoProxy) {
            result_.answer = QStringLiteral("every proxy failed");
        } else if (r.networkError == QNetworkReply::TimeoutError) {
            result_.answer = QStringLiteral("no answer within %1 s").arg(plan_.timeoutMs / 1000.0);
            retry = true;
        } else if (!r.answered()) {
            result_.answer = failureWords(r.networkError);
        } else if (r.status >= 300 && r.status < 400) {
            result_.answer = QStringLiteral("HTTP %1: redirected to %2, not followed")
                                 .arg(r.status)
                                 .arg(redirectHost(r.location, target_.url));
        } else {
            QString shown = QString::fromUtf8(r.body).simplified();
            if (shown.size() > ShownAnswerChars)
                shown = shown.left(ShownAnswerChars) + QStringLiteral("…");
            result_.answer = withoutSecrets(
                QStringLiteral("HTTP %1 %2").arg(r.status).arg(shown).trimmed(), target_);
            result_.delivered = platformAccepted(r.status, r.body);
            // A 4xx will not mend itself; a 5xx or a refusal in the answer's own words may.
            retry = !result_.delivered && (r.status >= 500 || (r.status >= 200 && r.status < 300));
        }
        const int done = result_.attempts - 1;
        if (retry && done < plan_.retryDelaysMs.size()) {
            QTimer::singleShot(plan_.retryDelaysMs[done], this, &TargetDelivery::attempt);
            return;
        }
        const auto finish = std::move(done_);
        finish(result_);
    }

    NotifyTarget target_;
    Alert alert_;
    std::optional<RunSummary> summary_;
    DeliveryPlan plan_;
    std::function<void(const DeliveryResult&)> done_;
    DeliveryResult result_;
};

// Owns the targets' deliveries; reports when the last one is done.
class Delivery final : public QObject {
  public:
    Delivery(QObject* context, std::function<void(const QList<DeliveryResult>&)> done)
        : QObject(context), done_(std::move(done)) {}

    void start(const QList<NotifyTarget>& targets, const Alert& alert, const RunSummary* summary,
               const DeliveryPlan& plan) {
        results_.resize(targets.size());
        pending_ = targets.size();
        if (pending_ == 0) {
            QMetaObject::invokeMethod(
                this, [this] { report(); }, Qt::QueuedConnection);
            return;
        }
        for (qsizetype i = 0; i < targets.size(); ++i)
            new TargetDelivery(targets[i], alert, summary, plan, this,
                               [this, i](const DeliveryResult& r) {
                                   results_[i] = r;
                                   if (--pending_ == 0)
                                       QMetaObject::invokeMethod(
                                           this, [this] { report(); }, Qt::QueuedConnection);
                               });
    }

  private:
    void report() {
        const auto done = std::move(done_);
        const QList<DeliveryResult> results = results_;
        deleteLater();
        done(results);
    }

    std::function<void(const QList<DeliveryResult>&)> done_;
    QList<DeliveryResult> results_;
    qsizetype pending_ = 0;
};

// A run's alerts on their way, one after another.
struct AlertsInTurn {
    QList<NotifyTarget> targets;
    QList<Alert> alerts;
    std::optional<RunSummary> summary;
    DeliveryPlan plan;
    std::function<void(const QList<DeliveryResult>&)> done;
    QList<DeliveryResult> results;
    qsizetype next = 0;
};

void deliverNext(const std::shared_ptr<AlertsInTurn>& run, QObject* context) {
    if (run->next == run->alerts.size()) {
        QMetaObject::invokeMethod(
            context, [run] { run->done(run->results); }, Qt::QueuedConnection);
        return;
    }
    const Alert& alert = run->alerts[run->next++];
    deliverAsync(
        run->targets, alert, run->summary ? &*run->summary : nullptr, context,
        [run, context](const QList<DeliveryResult>& results) {
            run->results += results;
            deliverNext(run, context);
        },
        run->plan);
}

}  // namespace

QString DeliveryResult::failure() const {
    return QStringLiteral("%1: not delivered after %2 attempts: %3")
        .arg(target)
        .arg(attempts)
        .arg(answer);
}

void deliverEachAsync(const QList<NotifyTarget>& targets, const QList<Alert>& alerts,
                      const RunSummary* summary, QObject* context,
                      std::function<void(const QList<DeliveryResult>&)> done,
                      const DeliveryPlan& plan) {
    auto run = std::make_shared<AlertsInTurn>(
        AlertsInTurn{targets, alerts, std::nullopt, plan, std::move(done), {}, 0});
    if (summary) run->summary = *summary;
    deliverNext(run, context);
}

QString withoutSecrets(QString text, const NotifyTarget& target) {
    const QString hidden = QStringLiteral("***");
    QStringList secrets{target.secret, target.url.toString(),
                        target.url.toString(QUrl::FullyEncoded),
                        target.url.query(QUrl::FullyDecoded), target.url.query(QUrl::FullyEncoded)};
    for (const auto& [key, value] : QUrlQuery(target.url).queryItems(QUrl::FullyDecoded))
        secrets.append(value);
    for (const QString& segment : target.url.path().split(u'/'))
        if (segment.size() >= 8)
            secrets.append(segment);  // a robot's key sits in its path on some platforms
    std::sort(secrets.begin(), secrets.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& s : secrets)
        if (s.size() >= 4) text.replace(s, hidden);
    return text;
}

void deliverAsync(const QList<NotifyTarget>& targets, const Alert& alert, const RunSummary* summary,
                  QObject* context, std::function<void(const QList<DeliveryResult>&)> done,
                  const DeliveryPlan& plan) {
    (new Delivery(context, std::move(done)))->start(targets, alert, summary, plan);
}

bool deliverRunAlerts(RunSummary summary, QObject* context, std::function<void()> done) {
    const LoadedTargets loaded = loadNotifyTargets();
    if (!loaded.fileFound) return false;
    for (const NotifyProblem& problem : loaded.problems)
        qWarning().noquote() << describeNotifyProblem(problem);
    summary.reportUrl = loaded.reportUrl;
    const QList<Alert> alerts = alertsForRun(summary);
    if (alerts.isEmpty() || loaded.targets.isEmpty()) {
        done();
        return true;
    }
    // Deleting the context aborts whatever is still on its way.
    auto* sending = new QObject(context);
    deliverEachAsync(loaded.targets, alerts, &summary, sending,
                     [sending, done = std::move(done)](const QList<DeliveryResult>& results) {
                         for (const DeliveryResult& r : results)
                             if (!r.delivered)
                                 qWarning().noquote() << QStringLiteral("alert ") + r.failure();
                         sending->deleteLater();
                         done();
                     });
    return true;
}

}  // namespace zorvan
