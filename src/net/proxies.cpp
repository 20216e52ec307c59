#include "net/proxies.h"

#include <QFile>
#include <QNetworkProxyFactory>
#include <QRegularExpression>
#include <QUrl>

#include "core/localfile.h"
#include "core/services.h"

namespace zorvan {
namespace {

QString exitName(int index) {
    return QStringLiteral("proxy %1").arg(index + 1);
}

}  // namespace

QString ProxyEntry::name() const {
    const QString scheme =
        type == QNetworkProxy::Socks5Proxy ? QStringLiteral("socks5") : QStringLiteral("http");
    return scheme + QStringLiteral("://") + host + u':' + QString::number(port);
}

QNetworkProxy ProxyEntry::networkProxy() const {
    return QNetworkProxy(type, host, port, user, password);
}

std::optional<ProxyEntry> parseProxyLine(const QString& line, QString* why) {
    static const QRegularExpression form(
        QStringLiteral("^(http|socks5)://(?:([^:@/]*):([^@/"
                       "]*)@)?([A-Za-z0-9.\\-]+|\\[[0-9A-Fa-f:.]+\\]):([0-9]{1,5})/?$"));
    const QRegularExpressionMatch m = form.match(line);
    if (!m.hasMatch()) {
        *why = QStringLiteral("not http://[user:pass@]host:port or socks5://[user:pass@]host:port");
        return std::nullopt;
    }
    ProxyEntry entry;
    entry.type = m.captured(1) == u"socks5" ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy;
    entry.user = QUrl::fromPercentEncoding(m.captured(2).toUtf8());
    entry.password = QUrl::fromPercentEncoding(m.captured(3).toUtf8());
    entry.host = m.captured(4).remove(u'[').remove(u']');
    const int port = m.captured(5).toInt();
    if (port < 1 || port > 65535) {
        *why = QStringLiteral("the port is not between 1 and 65535");
        return std::nullopt;
    }
    entry.port = quint16(port);
    return entry;
}

ProxyList readProxyList(const QString& path) {
    ProxyList list;
    const SettingsRead read = readSettingsFile(path);
    if (read.status == FileRead::Missing) return list;
    list.exists = true;
    list.othersMayRead = read.othersMayRead;
    if (read.status == FileRead::Unreadable) {
        list.unreadable = true;
        list.why = read.why;
        return list;
    }
    const QList<QByteArray> lines = read.bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        QString why;
        if (const auto entry = parseProxyLine(line, &why))
            list.proxies.append(*entry);
        else  // the line may hold a password: it is not repeated
            list.problems.append(path + u':' + QString::number(i + 1) + QStringLiteral(": ") + why);
    }
    return list;
}

ProxyPool& ProxyPool::global() {
    static ProxyPool pool;
    return pool;
}

void ProxyPool::configure(const ProxyList& list) {
    std::lock_guard lock(mutex_);
    active_ = list.exists;
    refused_ = 0;
    proxies_.clear();
    for (const ProxyEntry& entry : list.proxies) proxies_.append({entry, 0, false});
}

bool ProxyPool::active() const {
    std::lock_guard lock(mutex_);
    return active_;
}

QStringList ProxyPool::liveExits() const {
    std::lock_guard lock(mutex_);
    QStringList exits;
    for (int i = 0; i < proxies_.size(); ++i)
        if (!proxies_[i].dropped) exits.append(exitName(i));
    return exits;
}

std::optional<int> ProxyPool::proxyOfExit(const QString& exit) const {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < proxies_.size(); ++i)
        if (exitName(i) == exit) return i;
    return std::nullopt;
}

ProxyEntry ProxyPool::proxy(int index) const {
    std::lock_guard lock(mutex_);
    return proxies_.value(index).entry;
}

bool ProxyPool::anyAlive() const {
    return !liveExits().isEmpty();
}

void ProxyPool::noteResult(int index, bool proxyFailed) {
    std::function<void(const QString&)> tell;
    QString name;
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= proxies_.size() || proxies_[index].dropped) return;
        State& state = proxies_[index];
        state.failuresInARow = proxyFailed ? state.failuresInARow + 1 : 0;
        if (state.failuresInARow < MaxFailures) return;
        state.dropped = true;
        tell = dropped_;
        name = state.entry.name();
    }
    if (tell) tell(name);
}

void ProxyPool::noteRefused() {
    std::lock_guard lock(mutex_);
    ++refused_;
}

int ProxyPool::refusedRequests() const {
    std::lock_guard lock(mutex_);
    return refused_;
}

void ProxyPool::setDroppedHandler(std::function<void(const QString&)> handler) {
    std::lock_guard lock(mutex_);
    dropped_ = std::move(handler);
}

QString proxyFilePath() {
    return dataDirectory() + QStringLiteral("/proxies.txt");
}

QString proxyFileWarning(const QString& path) {
    return QStringLiteral("warning: other users can read ") + path +
           QStringLiteral(", which may hold proxy passwords (chmod 600 it)");
}

ProxyList useProxyFile(const QString& path) {
    const ProxyList list = readProxyList(path);
    useProxyList(list);
    return list;
}

void useProxyList(const ProxyList& list) {
    ProxyPool::global().configure(list);
    if (!list.exists) {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
    } else {
        // Managers the fetch layer does not make itself (alerts) go through the first proxy, or
        // nowhere: never around the list.
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(
            list.proxies.isEmpty()
                ? QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("0.0.0.0"), 1)
                : list.proxies.first().networkProxy());
    }
}

}  // namespace zorvan
