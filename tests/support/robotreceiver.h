#pragma once

#define CPPHTTPLIB_TCP_NODELAY true
#include <httplib.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <mutex>
#include <thread>

namespace zorvan::test {

// A loopback chat robot: takes POSTs at any path, keeps each one, and answers with what the test
// queued for that path (200 {"errcode":0} when nothing is queued).
class RobotReceiver {
  public:
    struct Received {
        std::string path;
        httplib::Params query;
        QByteArray body;
    };
    struct Answer {
        int status = 200;
        std::string body = R"({"errcode":0,"errmsg":"ok"})";
        std::string location = {};  // sent as the Location header when set
    };

    RobotReceiver() {
        server_.Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            received_.append({req.path, req.params, QByteArray::fromStdString(req.body)});
            auto& queue = answers_[req.path];
            const Answer answer = queue.empty() ? Answer{} : queue.front();
            if (queue.size() > 1) queue.erase(queue.begin());
            res.status = answer.status;
            if (!answer.location.empty()) res.set_header("Location", answer.location);
            res.set_content(answer.body, "application/json");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~RobotReceiver() { server_.stop(), thread_.join(); }

    // Answers for a path, in turn; the last one stays.
    void answer(const std::string& path, std::vector<Answer> answers) {
        std::lock_guard lock(mutex_);
        answers_[path] = std::move(answers);
    }
    QList<Received> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    QString url(const QString& pathAndQuery) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(pathAndQuery);
    }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    QList<Received> received_;
    std::map<std::string, std::vector<Answer>> answers_;
};

}  // namespace zorvan::test
