#include "tools/update.h"

#include "core/platform.h"
#include "core/services.h"
#include "net/fetch.h"
#include "net/proxies.h"

namespace zorvan {

QString versionFileUrl() {
    return serviceBase(Role::Maker) + QStringLiteral("/mirelo/shenji.txt");
}

QString downloadPageUrl() {
    return serviceBase(Role::Maker) + QStringLiteral("/mirelo/");
}

QString latestVersionText(const QString& fetched) {
    const qsizetype end = fetched.indexOf(QStringLiteral("\r\n"));
    return end < 0 ? fetched : fetched.left(end);
}

std::optional<QString> versionToOffer(const QString& fetched) {
    const QString latest = latestVersionText(fetched);
    if (latest.isEmpty() || latest == CurrentVersionText || latest.size() > VersionTextLimit)
        return std::nullopt;
    return latest;
}

QString updateQuestion(const QString& latest) {
    return QStringLiteral("最新版本Zorvan站长") + latest + QStringLiteral("，是否更新？");
}

void UpdateCheck(QObject* owner, std::function<void()> finished) {
    FetchOptions options = defaultFetchOptions();
    options.maxBodyBytes = VersionFileReadLimit;
    options.truncateAtCap = true;
    // Every proxy of the list dropped: the check is not made around them.
    if (!routeThroughProxies(options)) {
        if (finished) QMetaObject::invokeMethod(owner, finished, Qt::QueuedConnection);
        return;
    }
    fetchAsync(versionFileUrl(), options, owner, [owner, finished](const FetchResult& r) {
        const auto latest = versionToOffer(BytesToText(r.body, QStringLiteral("gb2312")));
        if (latest && askOkCancel(owner, QStringLiteral("发现最新版本"), updateQuestion(*latest)))
            platform().openUrl(requestUrl(downloadPageUrl()));
        if (finished) finished();
    });
}

}  // namespace zorvan
