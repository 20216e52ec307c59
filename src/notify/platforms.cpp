#include "notify/platforms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

#include "vocab/figures.h"

namespace zorvan {
namespace {

QByteArray hmacSha256(const QByteArray& key, const QByteArray& message) {
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString kindKey(AlertKind kind) {
    switch (kind) {
        case AlertKind::Drop:
            return QStringLiteral("drop");
        case AlertKind::Block:
            return QStringLiteral("block");
        case AlertKind::Test:
            return QStringLiteral("test");
    }
    return {};
}

QString isoTime(const QDateTime& t) {
    return t.toString(Qt::ISODate);
}

}  // namespace

qsizetype messageByteLimit(TargetKind kind) {
    switch (kind) {
        case TargetKind::WeCom:
            return 4096;
        case TargetKind::DingTalk:
            return 20000;
        case TargetKind::Feishu:
            return 18000;  // the whole request must stay under 20 KB
        case TargetKind::Webhook:
            return 64 * 1024;
    }
    return 4096;
}

QByteArray dingTalkSign(const QString& secret, qint64 timestampMs) {
    const QByteArray signed_ = QByteArray::number(timestampMs) + '\n' + secret.toUtf8();
    return QUrl::toPercentEncoding(
        QString::fromLatin1(hmacSha256(secret.toUtf8(), signed_).toBase64()));
}

QByteArray feishuSign(const QString& secret, qint64 timestampSeconds) {
    const QByteArray key = QByteArray::number(timestampSeconds) + '\n' + secret.toUtf8();
    return hmacSha256(key, QByteArray()).toBase64();
}

QByteArray webhookBody(const Alert& alert, const RunSummary* summary) {
    QJsonObject body{
        {QStringLiteral("kind"), kindKey(alert.kind)},
        {QStringLiteral("text"), alert.text(false, messageByteLimit(TargetKind::Webhook))}};
    if (summary) {
        body[QStringLiteral("run")] =
            QJsonObject{{QStringLiteral("start"), isoTime(summary->start)},
                        {QStringLiteral("end"), isoTime(summary->end)},
                        {QStringLiteral("domains"), summary->domains},
                        {QStringLiteral("saved"), summary->saved},
                        {QStringLiteral("skipped"), summary->skipped},
                        {QStringLiteral("blocked"), summary->blocked}};
        QJsonArray drops;
        for (const DomainDrops& d : summary->drops)
            for (const FigureDrop& drop : d.drops)
                drops.append(QJsonObject{{QStringLiteral("domain"), d.domain},
                                         {QStringLiteral("figure"), figureInfo(drop.figure).key},
                                         {QStringLiteral("from"), drop.from},
                                         {QStringLiteral("to"), drop.to},
                                         {QStringLiteral("percent"), drop.percent()},
                                         {QStringLiteral("since"), drop.since}});
        body[QStringLiteral("drops")] = drops;
        QJsonObject missing;
        for (auto figure = summary->missing.cbegin(); figure != summary->missing.cend(); ++figure) {
            QJsonObject reasons;
            for (auto reason = figure->cbegin(); reason != figure->cend(); ++reason)
                reasons[verdictKey(reason.key())] = reason.value();
            missing[figureInfo(figure.key()).key] = reasons;
        }
        body[QStringLiteral("missing")] = missing;
    }
    return compact(body);
}

Outgoing composeRequest(const NotifyTarget& target, const Alert& alert, const RunSummary* summary,
                        const QDateTime& now) {
    QUrl url = target.url;
    QByteArray body;
    const qsizetype limit = messageByteLimit(target.kind);
    switch (target.kind) {
        case TargetKind::WeCom:
            body = compact({{QStringLiteral("msgtype"), QStringLiteral("markdown")},
                            {QStringLiteral("markdown"),
                             QJsonObject{{QStringLiteral("content"), alert.text(true, limit)}}}});
            break;
        case TargetKind::DingTalk:
            body = compact({{QStringLiteral("msgtype"), QStringLiteral("markdown")},
                            {QStringLiteral("markdown"),
                             QJsonObject{{QStringLiteral("title"), alert.title},
                                         {QStringLiteral("text"), alert.text(true, limit)}}}});
            if (!target.secret.isEmpty()) {
                const qint64 t = now.toMSecsSinceEpoch();
                // The signature is already percent-encoded: added to the encoded query as it is.
                QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
                if (!query.isEmpty()) query += '&';
                query += "timestamp=" + QByteArray::number(t) +
                         "&sign=" + dingTalkSign(target.secret, t);
                url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
            }
            break;
        case TargetKind::Feishu: {
            QJsonObject object{{QStringLiteral("msg_type"), QStringLiteral("text")},
                               {QStringLiteral("content"),
                                QJsonObject{{QStringLiteral("text"), alert.text(false, limit)}}}};
            if (!target.secret.isEmpty()) {
                const qint64 t = now.toSecsSinceEpoch();
                object[QStringLiteral("timestamp")] = QString::number(t);
                object[QStringLiteral("sign")] = QString::fromLatin1(feishuSign(target.secret, t));
            }
            body = compact(object);
            break;
        }
        case TargetKind::Webhook:
            body = webhookBody(alert, summary);
            break;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/json; charset=utf-8"));
    return {request, body};
}

bool platformAccepted(int status, const QByteArray& body) {
    if (status < 200 || status >= 300) return false;
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    for (const QString& key :
         {QStringLiteral("errcode"), QStringLiteral("code"), QStringLiteral("StatusCode")}) {
        const QJsonValue v = answer.value(key);
        if (!v.isUndefined() && v.toInt(-1) != 0) return false;
    }
    return true;
}

}  // namespace zorvan
