#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace zorvan::standin {

// A page served for every request of a role whose raw target starts with a route's prefix.
struct Page {
    QByteArray body;
    int status = 200;
    QByteArray location =
        {};  // sent as the Location header when set, with "{{host:role}}" filled in
    QByteArray retryAfter = {};  // sent as the Retry-After header when set
};

enum class Failure {
    None,
    Refuse,        // nothing listens: connection refused
    NeverAnswer,   // accepts, reads the request, never answers
    Drip,          // answers one byte every half second, forever
    ServerError,   // HTTP 500 with an error page
    InvalidBytes,  // a body that is valid in no charset
    HugeBody,      // 100 MB without a declared length, larger than any fetch accepts
    GzipBomb,      // 1 GiB of zeros sent gzip-compressed: about 1 MB on the wire
};

struct LogEntry {
    qint64 startMs = 0;  // since the services started
    qint64 endMs = -1;   // -1 while the request is being answered
    QString role;
    QByteArray target;  // the raw request target, as sent
};

// Plays every outside service on 127.0.0.1, one listening port per role, from pages set by tests
// or loaded from route files. Logs every request.
class Services {
  public:
    Services();
    ~Services();
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    // Starts every role on a free loopback port. False when a port cannot be had.
    bool start();
    void stop();

    int port(const QString& role) const;
    // The text of a ZORVAN_SERVICES file pointing every role (and the product page) here.
    QString servicesFileText() const;
    bool writeServicesFile(const QString& path) const;

    // A body's "{{host:role}}" is served as that role's "127.0.0.1:port".
    // Longest matching prefix of the raw target wins; a later route with an equal prefix replaces
    // the earlier one. Unmatched targets get 404 with an empty body.
    void setRoute(const QString& role, const QByteArray& prefix, const Page& page);
    void setRoute(const QString& role, const QByteArray& prefix, const QString& utf8Body);
    void clearRoutes();
    // The next requests to a role get these pages, one each in order, whatever their target;
    // then its routes answer again. Appends to what is still queued.
    void queueAnswers(const QString& role, const QList<Page>& pages);
    // Reads every "*.routes" file of a folder: lines "role prefix file" (file relative to the
    // folder; "#" starts a comment). Returns the number of routes read, -1 on an unreadable folder.
    // A name filter picks some of the files ("engines.routes").
    int loadRoutes(const QString& folder, const QString& filter = QStringLiteral("*.routes"));

    // A fixed delay before each answer; an empty role sets it for every role.
    void setLatency(const QString& role, int ms);
    // A delay for every request whose target holds the text (a domain), in place of a shorter one.
    void setTargetLatency(const QByteArray& text, int ms);
    void setFailure(const QString& role, Failure failure);

    std::vector<LogEntry> log() const;
    // The clock of the log: milliseconds since the services were made.
    qint64 elapsedMs() const;
    std::vector<LogEntry> log(const QString& role) const;
    QList<QByteArray> targets(const QString& role) const;
    void clearLog();

  private:
    struct Role;
    bool startRole(Role& role, int port);
    void answer(Role& role, const void* request, void* response);
    bool waitStopping(int ms);
    QByteArray withHosts(QByteArray body) const;

    std::vector<std::unique_ptr<Role>> roles_;
    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::vector<LogEntry> log_;
    std::vector<std::pair<QByteArray, int>> targetLatencies_;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace zorvan::standin
