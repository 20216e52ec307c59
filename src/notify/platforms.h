#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QNetworkRequest>

#include "notify/runsummary.h"
#include "notify/targets.h"

namespace zorvan {

// The most a platform takes in one message's text, in UTF-8 bytes.
qsizetype messageByteLimit(TargetKind kind);

// DingTalk's signature: URL-encoded Base64 of HMAC-SHA256, keyed with the secret, over
// timestamp + "\n" + secret; the timestamp in milliseconds.
QByteArray dingTalkSign(const QString& secret, qint64 timestampMs);
// Feishu's: Base64 of HMAC-SHA256 keyed with timestamp + "\n" + secret over nothing; the
// timestamp in seconds.
QByteArray feishuSign(const QString& secret, qint64 timestampSeconds);

// The POST that carries a message to a target, signed at the given time when it has a secret.
struct Outgoing {
    QNetworkRequest request;
    QByteArray body;
};
Outgoing composeRequest(const NotifyTarget& target, const Alert& alert, const RunSummary* summary,
                        const QDateTime& now);

// The generic webhook's JSON: the run, its drops and its missing figures.
QByteArray webhookBody(const Alert& alert, const RunSummary* summary);

// Whether an answer of a target counts as delivered: a 2xx whose JSON, if any, carries no
// errcode / code other than 0.
bool platformAccepted(int status, const QByteArray& body);

}  // namespace zorvan
