#pragma once

#include <QList>
#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QString>
#include <QStringList>
#include <functional>
#include <mutex>
#include <optional>

#include "net/pacer.h"

namespace zorvan {

struct FetchOptions;
struct FetchResult;

// One line of proxies.txt: "http://[user:pass@]host:port" or "socks5://[user:pass@]host:port".
struct ProxyEntry {
    QNetworkProxy::ProxyType type = QNetworkProxy::HttpProxy;
    QString host;
    quint16 port = 0;
    QString user;
    QString password;

    // "http://host:port": how output names it, never with its password.
    QString name() const;
    QNetworkProxy networkProxy() const;
};

// A proxy of a line, or nothing and why.
std::optional<ProxyEntry> parseProxyLine(const QString& line, QString* why);

struct ProxyList {
    QList<ProxyEntry> proxies;
    QStringList problems;        // "proxies.txt:3: ..." for each line told and left out
    bool exists = false;         // the file is there: then every request goes through a proxy
    bool unreadable = false;     // there but cannot be read
    QString why = {};            // why not, when unreadable
    bool othersMayRead = false;  // group or other may read it (it may hold passwords)
};

// The proxies of a file: one a line, "#" comments and blank lines left out.
ProxyList readProxyList(const QString& path);

// The proxies every request of the process goes through, and their health. Without a list (the
// file missing) requests leave as the desktop's proxy settings say. With one, a request never
// leaves around them: a proxy that cannot be reached, refuses, asks for credentials or times out
// MaxFailures times in a row is dropped for the rest of the run, and once every one is dropped
// requests are not made at all. Thread-safe.
class ProxyPool {
  public:
    static ProxyPool& global();

    // Sets the list; with no proxies and exists false, the desktop's settings are used.
    void configure(const ProxyList& list);
    bool active() const;  // a list is in use
    // The exits of the proxies still alive, in list order.
    QList<Exit> liveExits() const;
    ProxyEntry proxy(int index) const;
    bool anyAlive() const;

    // The outcome of one request through a proxy: a failure of the proxy itself counts toward
    // dropping it, anything else makes the count start again.
    void noteResult(int index, bool proxyFailed);
    // A request not made because every proxy is dropped; how many so far.
    void noteRefused();
    int refusedRequests() const;
    // Told once for each dropped proxy, with its name.
    void setDroppedHandler(std::function<void(const QString& name)> handler);

    static constexpr int MaxFailures = 3;

  private:
    struct State {
        ProxyEntry entry;
        int failuresInARow = 0;
        bool dropped = false;
    };
    mutable std::mutex mutex_;
    QList<State> proxies_;
    bool active_ = false;
    int refused_ = 0;
    std::function<void(const QString&)> dropped_;
};

// For a request made outside a sequencer: through the first proxy alive when a list is in use.
// False when every proxy of it is dropped: then nothing may be asked.
bool routeThroughProxies(FetchOptions& options, const ProxyPool& pool = ProxyPool::global());

// A POST made outside a sequencer (an alert): through the first proxy alive when a list is in use,
// and when that proxy fails, through the next one alive, each failure noted in pool; never around
// the list (NoProxy when none is left). Otherwise as postAsync.
void postThroughProxies(const QNetworkRequest& request, const QByteArray& body,
                        const FetchOptions& options, QObject* context,
                        std::function<void(const FetchResult&)> done,
                        ProxyPool& pool = ProxyPool::global());

// proxies.txt in the data folder.
QString proxyFilePath();
// The warning for a list that group or other may read.
QString proxyFileWarning(const QString& path);

// The proxies of the program: those of path when that file exists (the data folder's proxies.txt
// unless another is named), else the desktop's settings. Returns what was read, so the caller can
// tell the problems and the permission warning.
ProxyList useProxyFile(const QString& path);
void useProxyList(const ProxyList& list);

}  // namespace zorvan
