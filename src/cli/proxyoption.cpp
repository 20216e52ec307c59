// The command's way out: through the proxies of a list when there is one, else the desktop's.
#include <QFileInfo>

#include "cli/cli.h"
#include "net/proxies.h"

namespace zorvan::cli {
namespace {

// What a list in use without a single proxy is: a run through it asks nothing, and no proxy
// ever failed.
QString emptyList;

}  // namespace

int setUpProxies(const Invocation& invocation, Console& console) {
    const QString path = invocation.value(Option::Proxies, proxyFilePath());
    if (invocation.has(Option::Proxies) && !QFileInfo::exists(path)) {
        console.fail(QStringLiteral("cannot read ") + path);
        return FileFailed;
    }
    ProxyList list = readProxyList(path);
    if (list.unreadable) {
        // Asking around a list that is there but unreadable would leave by the wrong address.
        console.fail(QStringLiteral("cannot read ") + path +
                     (list.why.isEmpty() ? QString() : QStringLiteral(": ") + list.why));
        return FileFailed;
    }
    QStringList leftOut;
    for (const QString& problem : list.problems)
        leftOut.append(problem + QStringLiteral(": line left out"));
    console.failFirst(leftOut);
    if (list.othersMayRead) console.fail(proxyFileWarning(path));
    if (invocation.has(Option::Proxy)) {
        bool ok = false;
        const int n = invocation.value(Option::Proxy).toInt(&ok);
        if (!ok || n < 1 || n > list.proxies.size()) {
            console.fail(QStringLiteral("--proxy takes the number of a proxy of ") + path +
                         QStringLiteral(", from 1 to %1").arg(list.proxies.size()));
            return UsageError;
        }
        list.proxies = {list.proxies[n - 1]};
        console.err << "zorvan-cli: asking through " << list.proxies.first().name() << Qt::endl;
    }
    emptyList.clear();
    if (list.exists && list.proxies.isEmpty())
        emptyList = path + (list.problems.isEmpty() ? QStringLiteral(" holds no proxy")
                                                    : QStringLiteral(" holds no usable proxy"));
    useProxyList(list);
    ProxyPool::global().setDroppedHandler([&console](const QString& name) {
        console.fail(QStringLiteral("proxy ") + name +
                     QStringLiteral(" failed %1 times in a row: not used again in this run")
                         .arg(ProxyPool::MaxFailures));
    });
    return Ran;
}

int proxyRunStatus(int status, Console& console) {
    const int refused = ProxyPool::global().refusedRequests();
    if (!ProxyPool::global().active() || refused == 0) return status;
    console.fail(
        (emptyList.isEmpty() ? QStringLiteral("every proxy failed") : emptyList) +
        QStringLiteral(": %1 requests were not made, their figures are X (no-proxy)").arg(refused));
    return status == Ran || status == DropFound || status == NotifyFailed ? NoProxyLeft : status;
}

}  // namespace zorvan::cli
