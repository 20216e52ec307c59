#include "standin.h"

// Small answers go out at once rather than waiting for the client's delayed ACK (Nagle).
#define CPPHTTPLIB_TCP_NODELAY true
#include <httplib.h>
#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <chrono>
#include <limits>
#include <optional>
#include <vector>

#include "core/services.h"

namespace zorvan::standin {
namespace {

// 1 GiB of zeros as one gzip member, made once and fast: after a full flush a deflate segment
// refers to nothing before it, so the segment of one MiB is repeated; the trailer is computed.
const std::string& gzipBomb() {
    static const std::string bomb = [] {
        constexpr int MiB = 1 << 20, Count = 1024;
        std::string zeros(MiB, '\0');
        z_stream z{};
        deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, MAX_WBITS + 16, 9, Z_DEFAULT_STRATEGY);
        std::vector<char> buffer(2 * MiB);
        const auto segment = [&](int flush, uInt size) {
            z.next_in = reinterpret_cast<Bytef*>(zeros.data());
            z.avail_in = size;
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = uInt(buffer.size());
            deflate(&z, flush);
            return std::string(buffer.data(), buffer.size() - z.avail_out);
        };
        std::string out = segment(Z_FULL_FLUSH, MiB);  // the gzip header and the first MiB
        const std::string repeated = segment(Z_FULL_FLUSH, MiB);
        for (int i = 1; i < Count; ++i) out += repeated;
        std::string end = segment(Z_FINISH, 0);
        deflateEnd(&z);
        end.resize(end.size() - 8);  // the stream's own trailer counts two MiB
        const uLong one = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), MiB);
        uLong crc = one;
        for (int i = 1; i < Count; ++i) crc = crc32_combine(crc, one, MiB);
        const quint32 trailer[2] = {quint32(crc), quint32(qint64(MiB) * Count)};
        out += end;
        out.append(reinterpret_cast<const char*>(trailer),
                   sizeof trailer);  // little-endian, as gzip wants
        return out;
    }();
    return bomb;
}

}  // namespace

struct Services::Role {
    QString name;
    int port = 0;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    // Guarded by Services::mutex_.
    std::vector<std::pair<QByteArray, Page>> routes;
    QList<Page> queued;
    int latencyMs = 0;
    Failure failure = Failure::None;
};

Services::Services() : started_(std::chrono::steady_clock::now()) {
    for (const QString& name : hostRoles()) {
        auto role = std::make_unique<Role>();
        role->name = name;
        roles_.push_back(std::move(role));
    }
}

Services::~Services() {
    stop();
}

qint64 Services::elapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 started_)
        .count();
}

bool Services::startRole(Role& role, int port) {
    role.server = std::make_unique<httplib::Server>();
    // One request per connection: stopping then never waits for an idle kept-alive client.
    role.server->set_keep_alive_max_count(1);
    role.server->Get(".*", [this, &role](const httplib::Request& req, httplib::Response& res) {
        answer(role, &req, &res);
    });
    if (port > 0) {
        if (!role.server->bind_to_port("127.0.0.1", port)) return false;
        role.port = port;
    } else {
        role.port = role.server->bind_to_any_port("127.0.0.1");
        if (role.port <= 0) return false;
    }
    role.thread = std::thread([server = role.server.get()] { server->listen_after_bind(); });
    // stop() before the listening loop has started would be lost and leave it in accept() for
    // good; wait until it runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!role.server->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return role.server->is_running();
}

bool Services::start() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = false;
    }
    for (auto& role : roles_) {
        if (!startRole(*role, 0)) return false;
    }
    return true;
}

void Services::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stopping_.notify_all();
    for (auto& role : roles_) {
        if (role->server) role->server->stop();
        if (role->thread.joinable()) role->thread.join();
        role->server.reset();
    }
}

bool Services::waitStopping(int ms) {
    std::unique_lock lock(mutex_);
    return stopping_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped_; });
}

int Services::port(const QString& role) const {
    for (const auto& r : roles_)
        if (r->name == role) return r->port;
    return 0;
}

QString Services::servicesFileText() const {
    QString text;
    for (const auto& r : roles_)
        text += r->name + QStringLiteral("=127.0.0.1:") + QString::number(r->port) + u'\n';
    text += QStringLiteral("product=http://127.0.0.1:") +
            QString::number(port(zorvan::Role::Maker)) + QStringLiteral("/zorvan\n");
    return text;
}

bool Services::writeServicesFile(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(servicesFileText().toUtf8());
    return file.commit();
}

void Services::setRoute(const QString& role, const QByteArray& prefix, const Page& page) {
    std::lock_guard lock(mutex_);
    for (auto& r : roles_) {
        if (r->name != role) continue;
        for (auto& route : r->routes) {
            if (route.first == prefix) {
                route.second = page;
                return;
            }
        }
        r->routes.emplace_back(prefix, page);
    }
}

void Services::setRoute(const QString& role, const QByteArray& prefix, const QString& utf8Body) {
    setRoute(role, prefix, Page{utf8Body.toUtf8(), 200});
}

void Services::clearRoutes() {
    std::lock_guard lock(mutex_);
    for (auto& r : roles_) {
        r->routes.clear();
        r->queued.clear();
    }
}

void Services::queueAnswers(const QString& role, const QList<Page>& pages) {
    std::lock_guard lock(mutex_);
    for (auto& r : roles_)
        if (r->name == role) r->queued.append(pages);
}

int Services::loadRoutes(const QString& folder, const QString& filter) {
    const QDir dir(folder);
    if (!dir.exists()) return -1;
    int count = 0;
    const auto files = dir.entryList({filter}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#')) continue;
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() != 3) continue;
            QFile page(dir.filePath(QString::fromUtf8(parts[2])));
            if (!page.open(QIODevice::ReadOnly)) continue;
            setRoute(QString::fromUtf8(parts[0]), parts[1], Page{page.readAll(), 200});
            ++count;
        }
    }
    return count;
}

void Services::setLatency(const QString& role, int ms) {
    std::lock_guard lock(mutex_);
    for (auto& r : roles_)
        if (role.isEmpty() || r->name == role) r->latencyMs = ms;
}

void Services::setTargetLatency(const QByteArray& text, int ms) {
    std::lock_guard lock(mutex_);
    targetLatencies_.emplace_back(text, ms);
}

void Services::setFailure(const QString& role, Failure failure) {
    Role* target = nullptr;
    {
        std::lock_guard lock(mutex_);
        for (auto& r : roles_)
            if (r->name == role) target = r.get();
        if (!target) return;
        target->failure = failure;
    }
    const bool listening = target->server != nullptr;
    if (failure == Failure::Refuse && listening) {
        target->server->stop();
        if (target->thread.joinable()) target->thread.join();
        target->server.reset();
    } else if (failure != Failure::Refuse && !listening) {
        startRole(*target, target->port);
    }
}

std::vector<LogEntry> Services::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<LogEntry> Services::log(const QString& role) const {
    std::vector<LogEntry> out;
    for (const auto& e : log())
        if (e.role == role) out.push_back(e);
    return out;
}

QList<QByteArray> Services::targets(const QString& role) const {
    QList<QByteArray> out;
    for (const auto& e : log(role)) out.append(e.target);
    return out;
}

void Services::clearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

QByteArray Services::withHosts(QByteArray body) const {
    // Pages that name another role's address (the PageRank frame) carry "{{host:role}}".
    if (!body.contains("{{host:")) return body;
    for (const auto& r : roles_) {
        const QByteArray marker = QByteArray("{{host:") + r->name.toUtf8() + QByteArray("}}");
        const QByteArray host = QByteArray("127.0.0.1:") + QByteArray::number(r->port);
        body.replace(marker, host);
    }
    return body;
}

void Services::answer(Role& role, const void* request, void* response) {
    const auto& req = *static_cast<const httplib::Request*>(request);
    auto& res = *static_cast<httplib::Response*>(response);
    const QByteArray target = QByteArray::fromStdString(req.target);

    size_t index = 0;
    int latency = 0;
    Failure failure = Failure::None;
    std::optional<Page> page;
    {
        std::lock_guard lock(mutex_);
        index = log_.size();
        log_.push_back({elapsedMs(), -1, role.name, target});
        latency = role.latencyMs;
        for (const auto& [text, ms] : targetLatencies_)
            if (target.contains(text)) latency = std::max(latency, ms);
        failure = role.failure;
        qsizetype best = role.queued.isEmpty() ? -1 : std::numeric_limits<qsizetype>::max();
        if (!role.queued.isEmpty()) page = role.queued.takeFirst();
        for (const auto& route : role.routes) {
            if (target.startsWith(route.first) && route.first.size() > best) {
                best = route.first.size();
                page = route.second;
            }
        }
    }
    auto finish = [&] {
        std::lock_guard lock(mutex_);
        if (index < log_.size()) log_[index].endMs = elapsedMs();
    };

    if (latency > 0 && waitStopping(latency)) {
        finish();
        return;
    }
    switch (failure) {
        case Failure::NeverAnswer:
            waitStopping(120000);
            break;
        case Failure::Drip:
            res.set_chunked_content_provider("text/html", [this](size_t, httplib::DataSink& sink) {
                if (waitStopping(500)) return false;
                return sink.write("x", 1);
            });
            break;
        case Failure::ServerError:
            res.status = 500;
            res.set_content("<html><body>500 Internal Server Error</body></html>", "text/html");
            break;
        case Failure::InvalidBytes:
            res.set_content(std::string("\xff\xfe\xfd\x80\x81\xc0\xc1\xf5\xff", 9), "text/html");
            break;
        case Failure::HugeBody: {
            // 100 MB without a length, as a stream of bytes no encoding shrinks: only a cap on
            // what the client keeps ends it early.
            auto sent = std::make_shared<size_t>(0);
            res.set_chunked_content_provider(
                "application/octet-stream", [sent](size_t, httplib::DataSink& sink) {
                    constexpr size_t total = size_t(100) * 1024 * 1024;
                    if (*sent >= total) {
                        sink.done();
                        return true;
                    }
                    std::string chunk(65536, '\0');
                    for (size_t i = 0; i < chunk.size(); ++i)
                        chunk[i] = char((*sent + i) * 2654435761u >> 13);
                    *sent += chunk.size();
                    return sink.write(chunk.data(), chunk.size());
                });
            break;
        }
        case Failure::GzipBomb:
            // A type the server never compresses itself, so the bytes go out as made.
            res.set_header("Content-Encoding", "gzip");
            res.set_content(gzipBomb(), "application/octet-stream");
            break;
        case Failure::None:
        case Failure::Refuse:
            if (page) {
                res.status = page->status;
                if (!page->location.isEmpty())
                    res.set_header("Location", withHosts(page->location).toStdString());
                if (!page->retryAfter.isEmpty())
                    res.set_header("Retry-After", page->retryAfter.toStdString());
                res.set_content(withHosts(page->body).toStdString(), "text/html");
            } else {
                res.status = 404;
            }
            break;
    }
    finish();
}

}  // namespace zorvan::standin
