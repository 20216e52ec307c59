#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace zorvan {

enum class TargetKind { WeCom, DingTalk, Feishu, Webhook };

// One place a run's alerts go. The address holds the robot's key and the secret signs: neither
// is ever shown, only the host.
struct NotifyTarget {
    TargetKind kind = TargetKind::Webhook;
    QUrl url;
    QString secret;
    // "dingtalk oapi.dingtalk.com": what output and errors call the target.
    QString label() const;
};

QString targetKindName(TargetKind kind);

// An entry of notify.json that could not be used; it is skipped, the others stand.
struct NotifyProblem {
    QString file;
    int entry = -1;  // 1-based position in "targets"; -1 for the file as a whole
    QString why;
};
QString describeNotifyProblem(const NotifyProblem& problem);

struct LoadedTargets {
    QList<NotifyTarget> targets;
    QList<NotifyProblem> problems;
    bool fileFound = false;
    QString reportUrl;  // "report_url": the published site group report, linked from alerts
    bool othersMayRead = false;  // group or other may read it: it holds robot keys and secrets
};

// The targets of a notify.json text; fileName only names the file in the problems.
LoadedTargets parseNotifyFile(const QByteArray& json, const QString& fileName);

// notify.json in the data folder; no targets and no problems when there is none.
QString notifyFilePath();
// The warning for a notify.json that group or other may read.
QString notifyFileWarning(const QString& path);
LoadedTargets loadNotifyTargets();

}  // namespace zorvan
