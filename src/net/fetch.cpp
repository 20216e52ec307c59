#include "net/fetch.h"

#include <zlib.h>

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadStorage>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <deque>
#include <map>
#include <memory>

#include "core/platform.h"
#include "net/proxies.h"

namespace zorvan {
namespace {

std::atomic<int> timeoutMs{[] {
    bool ok = false;
    const int env = qEnvironmentVariableIntValue("ZORVAN_FETCH_TIMEOUT_MS", &ok);
    return ok && env > 0 ? env : 20000;
}()};
std::atomic<qint64> maxBody{FetchOptions{}.maxBodyBytes};

// One manager per thread, created inside the thread that uses it, as Qt Network requires.
QThreadStorage<QNetworkAccessManager*> managers;

QNetworkAccessManager& manager() {
    if (!managers.hasLocalData()) managers.setLocalData(new QNetworkAccessManager);
    return *managers.localData();
}

QString managerKey(const std::optional<ProxyEntry>& proxy) {
    if (!proxy) return QStringLiteral("direct");
    return proxy->name() + u' ' + proxy->user + u':' + proxy->password;
}

// A manager per proxy (by its address and credentials): a proxy set on a manager carries every
// request of it, loopback included.
using ProxyManagers = std::map<QString, std::unique_ptr<QNetworkAccessManager>>;
QThreadStorage<ProxyManagers*> proxyManagers;

QNetworkAccessManager& manager(const std::optional<ProxyEntry>& proxy) {
    if (!proxy) return manager();
    if (!proxyManagers.hasLocalData()) proxyManagers.setLocalData(new ProxyManagers);
    std::unique_ptr<QNetworkAccessManager>& m = (*proxyManagers.localData())[managerKey(proxy)];
    if (!m) {
        m = std::make_unique<QNetworkAccessManager>();
        m->setProxy(proxy->networkProxy());
    }
    return *m;
}

class PageFetch;

// Qt Network opens at most this many connections to one host and queues the rest inside, where
// the time limit would already run: requests past it wait here instead, their limit not started.
constexpr int MaxConnectionsPerHost = 6;

struct HostQueue {
    int busy = 0;
    std::deque<QPointer<PageFetch>> waiting;
};
using HostQueues = std::map<QString, HostQueue>;
QThreadStorage<HostQueues*> hostQueues;

HostQueues& queues() {
    if (!hostQueues.hasLocalData()) hostQueues.setLocalData(new HostQueues);
    return *hostQueues.localData();
}

bool isProxyError(QNetworkReply::NetworkError error) {
    return error >= QNetworkReply::ProxyConnectionRefusedError &&
           error <= QNetworkReply::UnknownProxyError;
}

bool mustEscape(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return true;
    switch (c) {
        case '"':
        case '#':
        case '<':
        case '>':
        case '\\':
        case '^':
        case '`':
        case '{':
        case '|':
        case '}':
            return true;
        default:
            return false;
    }
}

// Errors of the connection itself: the service never answered.
bool isTransportError(QNetworkReply::NetworkError error) {
    return error > 0 && error < 100;
}

QString noAnswerDetail(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
            return QStringLiteral("连接被拒绝");
        case QNetworkReply::RemoteHostClosedError:
            return QStringLiteral("连接被重置");
        case QNetworkReply::HostNotFoundError:
            return QStringLiteral("找不到主机");
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError:
            return QStringLiteral("超时");
        default:
            return QStringLiteral("网络错误");
    }
}

// Inflates a gzip or deflate body as it arrives. Qt's own decompression is off: it notices a
// bomb only after gigabytes, and then warns on stderr; here the body cap holds for decoded bytes.
class Inflater {
  public:
    enum Result { More, Full, Corrupt };

    Inflater() = default;
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    ~Inflater() {
        if (active_) inflateEnd(&stream_);
    }

    // False for an encoding this cannot read; "identity" or none needs no inflater.
    bool start(const QByteArray& encoding) {
        deflate_ = encoding == "deflate";
        if (!deflate_ && encoding != "gzip" && encoding != "x-gzip") return false;
        return reset(MAX_WBITS + 32);  // a gzip or zlib header, whichever comes
    }

    // Appends what chunk decodes to out, never past cap bytes in all.
    Result feed(const QByteArray& chunk, QByteArray& out, qint64 cap) {
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.constData()));
        stream_.avail_in = uInt(chunk.size());
        char buffer[16384];
        int rc = Z_OK;
        // Output still pending inside zlib when the buffer filled counts as more to read.
        do {
            stream_.next_out = reinterpret_cast<Bytef*>(buffer);
            stream_.avail_out = sizeof buffer;
            rc = inflate(&stream_, Z_NO_FLUSH);
            if (rc == Z_DATA_ERROR && deflate_ && stream_.total_out == 0 && !raw_) {
                // Some servers send "deflate" without its zlib header.
                raw_ = true;
                if (!reset(-MAX_WBITS)) return Corrupt;
                return feed(chunk, out, cap);
            }
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return Corrupt;
            ended_ = rc == Z_STREAM_END;
            out.append(buffer, qsizetype(sizeof buffer - stream_.avail_out));
            if (out.size() >= cap) return Full;
        } while (!ended_ && rc != Z_BUF_ERROR && (stream_.avail_in > 0 || stream_.avail_out == 0));
        return More;
    }

  private:
    bool reset(int windowBits) {
        if (active_) inflateEnd(&stream_);
        stream_ = z_stream{};
        active_ = inflateInit2(&stream_, windowBits) == Z_OK;
        ended_ = false;
        return active_;
    }

    z_stream stream_{};
    bool active_ = false;
    bool deflate_ = false;
    bool raw_ = false;
    bool ended_ = false;
};

// One GET in flight. Owns its reply; reports once, through the event loop, then deletes itself.
class PageFetch final : public QObject {
  public:
    PageFetch(QNetworkRequest request, std::optional<QByteArray> post, const FetchOptions& options,
              QObject* context, std::function<void(const FetchResult&)> done)
        : QObject(context),
          request_(std::move(request)),
          post_(std::move(post)),
          options_(options),
          done_(std::move(done)),
          queue_(managerKey(options.proxy) + u' ' + request_.url().authority()) {
        clock_.start();
        HostQueue& queue = queues()[queue_];
        if (queue.busy < MaxConnectionsPerHost) {
            ++queue.busy;
            holding_ = true;
            start();
        } else {
            queue.waiting.emplace_back(this);
        }
    }
    ~PageFetch() override { release(); }
    PageFetch(const PageFetch&) = delete;
    PageFetch& operator=(const PageFetch&) = delete;

  private:
    void start() {
        if (options_.leaving) options_.leaving(clock_.elapsed());
        clock_.restart();
        QNetworkRequest request = request_;
        // An inactivity limit alone lets a dripping server hold the wait forever; the timer below
        // bounds the whole exchange.
        request.setTransferTimeout(options_.timeoutMs);
        // Naming the encodings ourselves turns Qt's decompression off; Inflater does it, capped.
        request.setRawHeader("Accept-Encoding", "gzip, deflate");
        if (post_) {
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::ManualRedirectPolicy);
            reply_ = manager(options_.proxy).post(request, *post_);
        } else {
            reply_ = manager(options_.proxy).get(request);
        }
        reply_->setParent(this);
        // Back-pressure: the network thread stops reading ahead once this much waits unread, so a
        // huge answer never sits whole in memory before the cap is noticed.
        reply_->setReadBufferSize(256 * 1024);
        connect(reply_, &QNetworkReply::metaDataChanged, this, &PageFetch::onMetaData);
        connect(reply_, &QNetworkReply::readyRead, this, &PageFetch::onReadyRead);
        connect(reply_, &QNetworkReply::finished, this, &PageFetch::onFinished);
        if (options_.sent)
            connect(reply_, &QNetworkReply::requestSent, this, [this] {
                if (const auto sent = std::exchange(options_.sent, nullptr)) sent();
            });
        deadline_.setSingleShot(true);
        connect(&deadline_, &QTimer::timeout, this, [this] {
            timedOut_ = true;
            reply_->abort();
        });
        deadline_.start(options_.timeoutMs);
    }

    // Hands this fetch's place at its host to the next one waiting, which starts from the event
    // loop: this may be going away with its context, and so may the next.
    void release() {
        if (!std::exchange(holding_, false)) return;
        HostQueues& all = queues();
        const auto it = all.find(queue_);
        if (it == all.end()) return;
        HostQueue& queue = it->second;
        --queue.busy;
        while (!queue.waiting.empty()) {
            const QPointer<PageFetch> next = queue.waiting.front();
            queue.waiting.pop_front();
            if (!next) continue;
            ++queue.busy;
            next->holding_ = true;
            QMetaObject::invokeMethod(
                next.data(), [fetch = next.data()] { fetch->start(); }, Qt::QueuedConnection);
            return;
        }
        if (queue.busy == 0) all.erase(it);
    }

    void onMetaData() {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (!options_.truncateAtCap && length.isValid() &&
            length.toLongLong() >= options_.maxBodyBytes) {
            tooBig_ = true;
            reply_->abort();
            return;
        }
        const QByteArray encoding = reply_->rawHeader("Content-Encoding").trimmed().toLower();
        if (encoding.isEmpty() || encoding == "identity" || inflater_) return;
        inflater_ = std::make_unique<Inflater>();
        if (!inflater_->start(encoding)) stopCorrupt();
    }

    // A body that reaches the cap, before or after decoding, is too big.
    void onReadyRead() {
        if (tooBig_ || truncated_ || corrupt_) return;
        // What has arrived, not the cap: a read of the cap would allocate it each time.
        const QByteArray chunk =
            reply_->read(std::min(reply_->bytesAvailable(), options_.maxBodyBytes - raw_));
        raw_ += chunk.size();
        Inflater::Result result = Inflater::More;
        if (inflater_)
            result = inflater_->feed(chunk, body_, options_.maxBodyBytes);
        else
            body_ += chunk;
        if (result == Inflater::Corrupt) {
            stopCorrupt();
            return;
        }
        if (body_.size() < options_.maxBodyBytes && raw_ < options_.maxBodyBytes) return;
        if (options_.truncateAtCap) {
            truncated_ = true;
            body_.truncate(options_.maxBodyBytes);
        } else {
            tooBig_ = true;
        }
        reply_->abort();
    }

    void stopCorrupt() {
        corrupt_ = true;
        reply_->abort();
    }

    void onFinished() {
        if (reported_) return;
        reported_ = true;
        deadline_.stop();
        release();
        if (!tooBig_ && !truncated_ && !timedOut_ && !corrupt_) onReadyRead();
        FetchResult result = classify();
        result.elapsedMs = clock_.elapsed();
        // A proxy that lets a request time out fails it as much as one that refuses.
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                // The receiver may delete this fetch's context, and so this fetch, from inside
                // done.
                const auto done = std::move(done_);
                deleteLater();
                done(result);
            },
            Qt::QueuedConnection);
    }

    FetchResult classify() {
        FetchResult r;
        const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        r.status = status.isValid() ? status.toInt() : 0;
        const auto error = reply_->error();
        if (truncated_) {
            r.outcome = FetchOutcome::Answered;
        } else if (tooBig_) {
            r.outcome = FetchOutcome::TooBig;
            r.detail = QStringLiteral("页面过大");
        } else if (corrupt_) {
            r.outcome = FetchOutcome::Failed;
            r.detail = QStringLiteral("压缩数据无法解开");
        } else if (timedOut_) {
            r.outcome = FetchOutcome::NoAnswer;
            r.detail = QStringLiteral("超时");
            r.networkError = QNetworkReply::TimeoutError;
            // Through a proxy the time is the proxy's to keep: another may answer in it.
            r.proxyFailed = options_.proxy && options_.timeoutMs > 0;
        } else if (isProxyError(error) || (options_.proxy && isTransportError(error))) {
            // Through a proxy a connection that fails is the proxy's: the service's own failures
            // come back from it as answers (502, 504).
            r.outcome = FetchOutcome::NoAnswer;
            r.detail = QStringLiteral("代理无法使用");
            r.proxyFailed = true;
        } else if (isTransportError(error)) {
            r.outcome = FetchOutcome::NoAnswer;
            r.detail = noAnswerDetail(error);
        } else if (status.isValid() &&
                   (error == QNetworkReply::NoError || r.status >= 400 || post_)) {
            // Whatever the HTTP status, an answered request is a page: error pages are decoded like
            // any other. An error on a successful status (a body Qt refused to decompress) is not.
            r.outcome = FetchOutcome::Answered;
        } else {
            r.outcome = FetchOutcome::Failed;
            r.detail = reply_->errorString();
        }
        if (r.answered()) {
            r.body = std::move(body_);
            r.retryAfter = reply_->rawHeader("Retry-After").trimmed();
            r.location = reply_->rawHeader("Location").trimmed();
        } else if (!timedOut_) {
            r.networkError = error;
        }
        if (reply_->url() != reply_->request().url()) r.redirectedTo = reply_->url().toString();
        return r;
    }

    QNetworkRequest request_;
    std::optional<QByteArray> post_;  // the body of a POST; none for a GET
    FetchOptions options_;
    std::function<void(const FetchResult&)> done_;
    QString queue_;
    bool holding_ = false;  // one of the host's places is this fetch's
    QNetworkReply* reply_ = nullptr;
    QTimer deadline_;
    QElapsedTimer clock_;
    QByteArray body_;
    std::unique_ptr<Inflater> inflater_;
    qint64 raw_ = 0;  // bytes as they came, before decoding
    bool corrupt_ = false;
    bool tooBig_ = false;
    bool truncated_ = false;
    bool timedOut_ = false;
    bool reported_ = false;
};

}  // namespace

FetchOptions defaultFetchOptions() {
    FetchOptions options;
    options.timeoutMs = timeoutMs.load();
    options.maxBodyBytes = maxBody.load();
    return options;
}

void setDefaultFetchOptions(const FetchOptions& options) {
    timeoutMs = options.timeoutMs;
    maxBody = options.maxBodyBytes;
}

QUrl requestUrl(const QString& address) {
    const QByteArray utf8 = address.toUtf8();
    QByteArray encoded;
    encoded.reserve(utf8.size() * 3);
    static const char hex[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char ch = utf8[i];
        const auto c = static_cast<unsigned char>(ch);
        // A "%" that starts no escape is sent as "%25"; left alone it would make the URL layer
        // re-encode every escape of the address, "%3A" of the prefixes included.
        const bool strayPercent =
            c == '%' &&
            !(i + 2 < utf8.size() && std::isxdigit(static_cast<unsigned char>(utf8[i + 1])) &&
              std::isxdigit(static_cast<unsigned char>(utf8[i + 2])));
        if (mustEscape(c) || strayPercent) {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0xF];
        } else {
            encoded += ch;
        }
    }
    return QUrl::fromEncoded(encoded, QUrl::TolerantMode);
}

QString addressAuthority(const QString& address) {
    const QUrl url = requestUrl(address);
    return url.host() + u':' +
           QString::number(url.port(url.scheme() == QStringLiteral("https") ? 443 : 80));
}

QString domainInAddress(const QString& domain) {
    QString out;
    out.reserve(domain.size());
    for (const QChar c : domain) {
        switch (c.unicode()) {
            case '%':
                out += QStringLiteral("%25");
                break;
            case '&':
                out += QStringLiteral("%26");
                break;
            case '?':
                out += QStringLiteral("%3F");
                break;
            case '#':
                out += QStringLiteral("%23");
                break;
            case '+':
                out += QStringLiteral("%2B");
                break;
            default:
                out += c;
        }
    }
    return out;
}

void fetchAsync(const QString& address, const FetchOptions& options, QObject* context,
                std::function<void(const FetchResult&)> done) {
    const QUrl url = requestUrl(address);
    FetchResult r;
    if (options.timeoutMs <= 0) {
        r.outcome = FetchOutcome::NoAnswer;
        r.detail = QStringLiteral("超时");
    } else if (!url.isValid() || url.host().isEmpty()) {
        r.outcome = FetchOutcome::Failed;
        r.detail = QStringLiteral("地址无效");
    } else {
        new PageFetch(QNetworkRequest(url), std::nullopt, options, context, std::move(done));
        return;
    }
    QMetaObject::invokeMethod(
        context, [done = std::move(done), r] { done(r); }, Qt::QueuedConnection);
}

void postAsync(QNetworkRequest request, const QByteArray& body, const FetchOptions& options,
               QObject* context, std::function<void(const FetchResult&)> done) {
    FetchResult r;
    if (options.timeoutMs <= 0) {
        r.outcome = FetchOutcome::NoAnswer;
        r.detail = QStringLiteral("超时");
        r.networkError = QNetworkReply::TimeoutError;
    } else if (!request.url().isValid() || request.url().host().isEmpty()) {
        r.outcome = FetchOutcome::Failed;
        r.detail = QStringLiteral("地址无效");
        r.networkError = QNetworkReply::ProtocolInvalidOperationError;
    } else {
        new PageFetch(std::move(request), body, options, context, std::move(done));
        return;
    }
    QMetaObject::invokeMethod(
        context, [done = std::move(done), r] { done(r); }, Qt::QueuedConnection);
}

std::optional<QString> CutBetween(const QString& text, const QString& start, const QString& end) {
    if (start.isEmpty()) return std::nullopt;
    const qsizetype at = text.indexOf(start);
    if (at < 0) return std::nullopt;
    const qsizetype from = at + start.size();
    const qsizetype next = text.indexOf(start, from);
    const QString piece = text.mid(from, next < 0 ? -1 : next - from);
    if (piece.isEmpty()) return std::nullopt;
    if (end.isEmpty()) return piece;
    const qsizetype stop = piece.indexOf(end);
    return stop < 0 ? piece : piece.left(stop);
}

QString capValue(const QString& value) {
    return value.size() > MaxValueLength ? value.left(MaxValueLength) : value;
}

void OpenQueryUrl(const QString& prefix, const QString& domain, const QString& suffix) {
    platform().openUrl(requestUrl(prefix + domainInAddress(domain) + suffix));
}

}  // namespace zorvan
