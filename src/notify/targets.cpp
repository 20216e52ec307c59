#include "notify/targets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <optional>

#include "core/localfile.h"
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

// The member names given again in one object of a valid JSON text, each with the line it is given
// again on: the parser keeps the last silently, and a second "url" would send elsewhere.
QList<std::pair<QString, int>> repeatedMembers(const QByteArray& json) {
    struct Frame {
        bool object = false;
        bool expectKey = false;
        QSet<QString> keys;
    };
    QList<Frame> frames;
    QList<std::pair<QString, int>> repeated;
    int line = 1;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '\n') {
            ++line;
        } else if (c == '{' || c == '[') {
            frames.append({c == '{', c == '{', {}});
        } else if ((c == '}' || c == ']') && !frames.isEmpty()) {
            frames.removeLast();
        } else if (c == ',' && !frames.isEmpty()) {
            frames.last().expectKey = frames.last().object;
        } else if (c == '"') {
            qsizetype end = i + 1;
            while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
            if (!frames.isEmpty() && frames.last().expectKey) {
                const QString name = QJsonDocument::fromJson('[' + json.mid(i, end - i + 1) + ']')
                                         .array()
                                         .first()
                                         .toString();
                if (frames.last().keys.contains(name)) repeated.append({name, line});
                frames.last().keys.insert(name);
                frames.last().expectKey = false;
            }
            i = end;
        }
    }
    return repeated;
}

// One entry of "targets"; nothing, and why, when it is skipped.
std::optional<NotifyTarget> parseTarget(const QJsonValue& value, QString* why) {
    const auto skip = [&](const QString& reason) {
        *why = reason;
        return std::nullopt;
    };
    if (!value.isObject()) return skip(QStringLiteral("not a JSON object"));
    const QJsonObject entry = value.toObject();
    const QString kindText = entry.value(QStringLiteral("kind")).toString();
    const auto kind =
        std::find_if(std::begin(kindNames), std::end(kindNames),
                     [&](const KindName& k) { return kindText == QLatin1String(k.name); });
    if (kind == std::end(kindNames))
        return skip(QStringLiteral("\"kind\" must be wecom, dingtalk, feishu or webhook"));
    // The address is never quoted back: it holds the robot's key.
    const QJsonValue urlValue = entry.value(QStringLiteral("url"));
    const QUrl url(urlValue.toString(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!urlValue.isString() || !url.isValid() || url.host().isEmpty() ||
        (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")))
        return skip(QStringLiteral("\"url\" must be an http:// or https:// address"));
    const QJsonValue secret = entry.value(QStringLiteral("secret"));
    if (!secret.isUndefined() && !secret.isNull() && !secret.isString())
        return skip(QStringLiteral("\"secret\" must be a string"));
    return NotifyTarget{kind->kind, url, secret.toString()};
}

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
    for (const auto& [name, line] : repeatedMembers(json))
        fileProblem(QStringLiteral("line %1: \"%2\" is given again in one object; the last one "
                                   "stands")
                        .arg(line)
                        .arg(name));
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
        QString why;
        if (const auto target = parseTarget(entries[i], &why))
            loaded.targets.append(*target);
        else
            loaded.problems.append({fileName, int(i) + 1, why});
    }
    return loaded;
}

QString notifyFileWarning(const QString& path) {
    return QStringLiteral("warning: other users can read ") + path +
           QStringLiteral(", which holds robot keys and signing secrets (chmod 600 it)");
}

QString notifyFilePath() {
    return dataDirectory() + QStringLiteral("/notify.json");
}

LoadedTargets loadNotifyTargets() {
    const QString path = notifyFilePath();
    const SettingsRead read = readSettingsFile(path);
    if (read.status == FileRead::Missing) return {};
    LoadedTargets loaded;
    if (read.status == FileRead::Unreadable) {
        loaded.fileFound = true;
        loaded.problems.append(
            {path, -1, QStringLiteral("cannot be read (%1); nothing is sent").arg(read.why)});
    } else {
        loaded = parseNotifyFile(read.bytes, path);
    }
    loaded.othersMayRead = read.othersMayRead;
    return loaded;
}

}  // namespace zorvan
