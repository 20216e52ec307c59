#include "notify/targets.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "core/services.h"

namespace zorvan {
namespace {

struct KindName {
    TargetKind kind;
    const char* name;
};
constexpr KindName kindNames[] = {{TargetKind::WeCom, "wecom"},
                                  {TargetKind::DingTalk, "dingtalk"},
                                  {TargetKind::Feishu, "feishu"},
                                  {TargetKind::Webhook, "webhook"}};

}  // namespace

QString targetKindName(TargetKind kind) {
    for (const auto& k : kindNames)
        if (k.kind == kind) return QString::fromLatin1(k.name);
    return {};
}

QString NotifyTarget::label() const {
    QString host = url.host();
    if (url.port() != -1) host += u':' + QString::number(url.port());
    return targetKindName(kind) + u' ' + host;
}

QString describeNotifyProblem(const NotifyProblem& p) {
    if (p.entry < 0) return p.file + QStringLiteral(": ") + p.why;
    return QStringLiteral("%1: target %2 skipped: %3").arg(p.file).arg(p.entry).arg(p.why);
}

LoadedTargets parseNotifyFile(const QByteArray& json, const QString& fileName) {
    LoadedTargets loaded;
    loaded.fileFound = true;
    const auto fileProblem = [&](const QString& why) {
        loaded.problems.append({fileName, -1, why});
    };
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        fileProblem(QStringLiteral("not valid JSON: %1 (at byte %2); nothing is sent")
                        .arg(error.errorString())
                        .arg(error.offset));
        return loaded;
    }
    const QJsonValue list = doc.object().value(QStringLiteral("targets"));
    if (!doc.isObject() || !list.isArray()) {
        fileProblem(
            QStringLiteral("must hold an object with a \"targets\" array; nothing is sent"));
        return loaded;
    }
    // Where the run's report is published; alerts link to it.
    loaded.reportUrl = doc.object().value(QStringLiteral("report_url")).toString();
    const QJsonArray entries = list.toArray();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const int number = int(i) + 1;
        const auto skip = [&](const QString& why) {
            loaded.problems.append({fileName, number, why});
        };
        if (!entries[i].isObject()) {
            skip(QStringLiteral("not a JSON object"));
            continue;
        }
        const QJsonObject entry = entries[i].toObject();
        const QString kindText = entry.value(QStringLiteral("kind")).toString();
        const auto kind =
            std::find_if(std::begin(kindNames), std::end(kindNames),
                         [&](const KindName& k) { return kindText == QLatin1String(k.name); });
        if (kind == std::end(kindNames)) {
            skip(QStringLiteral("\"kind\" must be wecom, dingtalk, feishu or webhook"));
            continue;
        }
        // The address is never quoted back: it holds the robot's key.
        const QJsonValue urlValue = entry.value(QStringLiteral("url"));
        const QUrl url(urlValue.toString(), QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!urlValue.isString() || !url.isValid() || url.host().isEmpty() ||
            (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))) {
            skip(QStringLiteral("\"url\" must be an http:// or https:// address"));
            continue;
        }
        const QJsonValue secret = entry.value(QStringLiteral("secret"));
        if (!secret.isUndefined() && !secret.isNull() && !secret.isString()) {
            skip(QStringLiteral("\"secret\" must be a string"));
            continue;
        }
        loaded.targets.append({kind->kind, url, secret.toString()});
    }
    return loaded;
}

QString notifyFilePath() {
    return dataDirectory() + QStringLiteral("/notify.json");
}

LoadedTargets loadNotifyTargets() {
    const QString path = notifyFilePath();
    QFile file(path);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly)) {
        LoadedTargets loaded;
        loaded.fileFound = true;
        loaded.problems.append({path, -1, QStringLiteral("cannot be read; nothing is sent")});
        return loaded;
    }
    return parseNotifyFile(file.readAll(), path);
}

}  // namespace zorvan
