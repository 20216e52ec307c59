#include "net/proxies.h"

#include <QFile>
#include <QNetworkProxyFactory>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <memory>

#include "core/localfile.h"
#include "core/services.h"
#include "net/fetch.h"

namespace zorvan {

// Proxies tried for one POST before its last failure is handed on.
constexpr int MaxProxyTries = 8;
QString ProxyEntry::name() const {
    const QString scheme =
        type == QNetworkProxy::Socks5Proxy ? QStringLiteral("socks5") : QStringLiteral("http");
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return scheme + QStringLiteral("://") + shownHost + u':' + QString::number(port);
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
        const qsizetype authority = line.indexOf(QStringLiteral("://"));
        const QString rest =
            authority < 0 ? QString() : line.mid(authority + 3).section(u'/', 0, 0);
        *why = rest.count(u'@') > 1
                   ? QStringLiteral("write an \"@\" of the user name or password as %40")
                   : QStringLiteral(
                         "not http://[user:pass@]host:port or socks5://[user:pass@]host:port");
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

QList<Exit> ProxyPool::liveExits() const {
    std::lock_guard lock(mutex_);
    QList<Exit> exits;
    for (int i = 0; i < proxies_.size(); ++i)
        if (!proxies_[i].dropped) exits.append(Exit{i});
    return exits;
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

bool routeThroughProxies(FetchOptions& options, const ProxyPool& pool) {
    if (!pool.active()) return true;
    const QList<Exit> live = pool.liveExits();
    if (live.isEmpty()) return false;
    options.proxy = pool.proxy(live.first().proxy);
    return true;
}

namespace {

struct ProxiedPost {
    QNetworkRequest request;
    QByteArray body;
    FetchOptions options;
    QPointer<QObject> context;
    std::function<void(const FetchResult&)> done;
    ProxyPool* pool;
    std::optional<Exit> failed;
    int tries = 0;
};

void postNext(const std::shared_ptr<ProxiedPost>& post) {
    if (!post->context) return;
    QList<Exit> live = post->pool->active() ? post->pool->liveExits() : QList<Exit>{DirectExit};
    if (post->failed && live.size() > 1) live.removeOne(*post->failed);
    if (live.isEmpty()) {
        FetchResult none;
        none.outcome = FetchOutcome::NoProxy;
        none.detail = QStringLiteral("所有代理均已失效");
        QMetaObject::invokeMethod(
            post->context, [post, none] { post->done(none); }, Qt::QueuedConnection);
        return;
    }
    const Exit exit = live.first();
    FetchOptions options = post->options;
    if (!exit.direct()) options.proxy = post->pool->proxy(exit.proxy);
    postAsync(post->request, post->body, options, post->context,
              [post, exit](const FetchResult& r) {
                  if (exit.direct()) return post->done(r);
                  post->pool->noteResult(exit.proxy, r.proxyFailed);
                  if (r.proxyFailed && ++post->tries < MaxProxyTries && post->pool->anyAlive()) {
                      post->failed = exit;
                      return postNext(post);
                  }
                  post->done(r);
              });
}

}  // namespace

void postThroughProxies(const QNetworkRequest& request, const QByteArray& body,
                        const FetchOptions& options, QObject* context,
                        std::function<void(const FetchResult&)> done, ProxyPool& pool) {
    postNext(std::make_shared<ProxiedPost>(
        ProxiedPost{request, body, options, context, std::move(done), &pool, std::nullopt, 0}));
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
    // With a list every request names its proxy; without, the desktop's settings hold.
    QNetworkProxyFactory::setUseSystemConfiguration(!list.exists);
}

}  // namespace zorvan
