#include "tools/update.h"

#include <QPointer>
#include <QWidget>

#include "fetch/fetch.h"
#include "fetch/platform.h"
#include "fetch/services.h"

namespace zorvan {

QString versionFileUrl() { return serviceBase(Role::Maker) + QStringLiteral("/mirelo/shenji.txt"); }

QString downloadPageUrl() { return serviceBase(Role::Maker) + QStringLiteral("/mirelo/"); }

QString latestVersionText(const QString& fetched) {
    const qsizetype end = fetched.indexOf(QStringLiteral("\r\n"));
    return end < 0 ? fetched : fetched.left(end);
}

QString updateQuestion(const QString& latest) {
    return QStringLiteral("最新版本Zorvan站长") + latest + QStringLiteral("，是否更新？");
}

void UpdateCheck(QWidget* parent) {
    // The window keeps serving events during the fetch and may be closed meanwhile.
    const QPointer<QWidget> owner(parent);
    const QString latest = latestVersionText(GetPageGb2312(versionFileUrl()));
    if (parent && !owner) return;
    if (latest.isEmpty() || latest == CurrentVersionText) return;
    if (askOkCancel(owner, QStringLiteral("发现最新版本"), updateQuestion(latest)))
        platform().openUrl(RequestUrl(downloadPageUrl()));
}

}  // namespace zorvan
