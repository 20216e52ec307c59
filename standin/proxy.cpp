#define CPPHTTPLIB_TCP_NODELAY true
#include "proxy.h"

#include <httplib.h>

namespace zorvan::standin {

qint64 proxyClockMs() {
    static const auto origin = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 origin)
        .count();
}

Proxy::Proxy() = default;

Proxy::~Proxy() {
    stop();
}

void Proxy::requireCredentials(const QByteArray& user, const QByteArray& password) {
    const QByteArray authorization = "Basic " + QByteArray(user + ':' + password).toBase64();
    std::lock_guard lock(mutex_);
    authorization_ = authorization;
}

bool Proxy::start() {
    server_ = std::make_unique<httplib::Server>();
    // One request per connection: stopping then never waits for an idle kept-alive client.
    server_->set_keep_alive_max_count(1);
    const auto carry = [this](const httplib::Request& req, httplib::Response& res) {
        const qint64 start = proxyClockMs();
        const QByteArray authorization = [this] {
            std::lock_guard lock(mutex_);
            return authorization_;
        }();
        if (!authorization.isEmpty() &&
            req.get_header_value("Proxy-Authorization") != authorization.toStdString()) {
            res.status = 407;
            res.set_header("Proxy-Authenticate", "Basic realm=\"standin\"");
            return;
        }
        {
            std::lock_guard lock(mutex_);
            carried_.push_back({start, QByteArray::fromStdString(req.target)});
        }
        // "http://host:port/path?query": the origin, then the rest as the request's target.
        const std::string& target = req.target;
        const size_t slash = target.find('/', target.find("://") + 3);
        httplib::Client origin(target.substr(0, slash));
        origin.set_connection_timeout(5);
        origin.set_read_timeout(30);
        const std::string rest = slash == std::string::npos ? "/" : target.substr(slash);
        const auto answer =
            req.method == "POST"
                ? origin.Post(rest, req.body, req.get_header_value("Content-Type").c_str())
                : origin.Get(rest);
        if (answer) {
            res.status = answer->status;
            for (const auto& [name, value] : answer->headers)
                if (name == "Content-Type" || name == "Retry-After" || name == "Location")
                    res.set_header(name, value);
            res.body = answer->body;
        } else {
            res.status = 502;
        }
    };
    server_->Get(".*", carry);
    server_->Post(".*", carry);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return false;
    thread_ = std::thread([server = server_.get()] { server->listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return server_->is_running();
}

void Proxy::stop() {
    if (!server_) return;
    server_->stop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
}

std::vector<CarriedRequest> Proxy::carried() const {
    std::lock_guard lock(mutex_);
    return carried_;
}

}  // namespace zorvan::standin
