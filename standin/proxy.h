#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace zorvan::standin {

// What a stand-in proxy carried: when the request came (ms on the proxy's clock, shared by all
// proxies made in one process) and its absolute-form target.
struct CarriedRequest {
    qint64 startMs = 0;
    QByteArray target;
};

// A plain HTTP forward proxy on 127.0.0.1: takes absolute-form GETs and POSTs
// ("GET http://host:port/path"),
// asks the host itself and hands back the answer. With credentials set it answers 407 to a
// request that does not carry them. Logs every request it carried.
class Proxy {
  public:
    Proxy();
    ~Proxy();
    Proxy(const Proxy&) = delete;
    Proxy& operator=(const Proxy&) = delete;

    bool start();
    void stop();  // then nothing listens on the port: connections are refused
    int port() const { return port_; }
    void requireCredentials(const QByteArray& user, const QByteArray& password);

    std::vector<CarriedRequest> carried() const;

  private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    // Both may change while the server's threads carry requests: guarded by mutex_.
    QByteArray authorization_;
    std::vector<CarriedRequest> carried_;
};

// Milliseconds on the clock every proxy's log uses.
qint64 proxyClockMs();

}  // namespace zorvan::standin
