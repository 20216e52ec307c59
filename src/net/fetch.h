#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "core/codepage.h"
#include "net/proxies.h"

namespace zorvan {

// What became of one GET.
enum class FetchOutcome {
    Answered,  // a page came back, whatever its HTTP status
    NoAnswer,  // time-out, refused, reset, unknown host: the service did not answer
    TooBig,    // the body passed the size cap
    Failed,    // anything else: an address that cannot be asked, a broken or bomb-like encoding
    NoProxy,   // a proxy list is in use and every proxy of it has been dropped: nothing was asked
    GivenUp,   // the host kept refusing and is given up for the run: nothing was asked
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::Failed;
    int status = 0;   // the HTTP status; 0 when none came
    QByteArray body;  // the page; empty unless answered
    QString detail;  // why it was not answered, in the user's words ("超时", "连接被拒绝" ...)
    QString redirectedTo;   // where redirects led, when that is not the address asked; else empty
    QByteArray retryAfter;  // the answer's Retry-After header; empty when it sent none
    QByteArray location;    // a redirect's Location header, for a POST (which follows none)
    // What went wrong when no answer came; TimeoutError when the time limit ran out.
    QNetworkReply::NetworkError networkError = QNetworkReply::NoError;
    // The proxy itself refused, failed, asked for credentials or let the time run out
    bool proxyFailed = false;
    qint64 elapsedMs = 0;
    bool answered() const { return outcome == FetchOutcome::Answered; }
};

// How one fetch is made. The time limit's default is taken from ZORVAN_FETCH_TIMEOUT_MS when set
// (tests shorten it), otherwise 20 s; result pages are well under the 4 MiB body cap.
struct FetchOptions {
    int timeoutMs = 20000;
    qint64 maxBodyBytes = 4 * 1024 * 1024;
    // Keep the first maxBodyBytes and count the page as answered, instead of failing the fetch.
    bool truncateAtCap = false;
    // The proxy to go through; none: as the desktop's settings say.
    std::optional<ProxyEntry> proxy;
    // Called when the request leaves the fetch layer's own queue (a host takes only so many at
    // once), with the time it waited there; the time limit counts from then.
    std::function<void(qint64 queuedMs)> leaving;
    // Called once the request has been written to the connection. The fetch keeps it, and what
    // it holds, until then or until the fetch ends unwritten.
    std::function<void()> sent;
};

// The process's default time limit and body cap, which every fetch starts from; setting them
// keeps the limit and the cap of options, nothing else.
FetchOptions defaultFetchOptions();
void setDefaultFetchOptions(const FetchOptions& options);

// Starts a GET and calls done once with its result, always later from the event loop, never from
// inside this call. Nothing is called when context is destroyed first; destroying it aborts the
// request. Each thread uses its own network manager, and one more per proxy. A proxy that fails
// is told in the result (proxyFailed); which proxy to take and what its failures mean is the
// caller's.
void fetchAsync(const QString& url, const FetchOptions& options, QObject* context,
                std::function<void(const FetchResult&)> done);

// Starts a POST of body as request says, under the same limits, proxy and answer as a GET, and
// calls done as fetchAsync does. A redirect is never followed (it would carry the body, and any
// key in it, wherever it points): a 3xx comes back as the answer, with its Location.
void postAsync(QNetworkRequest request, const QByteArray& body, const FetchOptions& options,
               QObject* context, std::function<void(const FetchResult&)> done);

// The text after the first start marker, up to the next start marker or the end, then before the
// first end marker (the whole piece when the end marker is empty or absent). Nothing found when
// the start marker is missing or followed by nothing.
std::optional<QString> CutBetween(const QString& text, const QString& start, const QString& end);

// A value cut from a page is kept to its first 256 characters wherever it goes: a page that lacks
// the end marker would otherwise hand megabytes to a field, a record and a report.
inline constexpr qsizetype MaxValueLength = 256;
QString capValue(const QString& value);

// The text a value shows when nothing is found.
inline const QString NotFoundMark = QStringLiteral("X");

// A domain as it goes into a service's address: the characters that would read as address syntax
// ("&", "?", "#", "+", "%") are percent-encoded, so the service is asked about exactly the text
// typed; everything else is left to requestUrl.
QString domainInAddress(const QString& domain);

// Opens prefix + domain + suffix in the user's browser (never through a shell).
void OpenQueryUrl(const QString& prefix, const QString& domain, const QString& suffix = QString());

// Turns an address built from typed text into a URL without interpreting it: bytes that a request
// line cannot carry are percent-encoded, everything else (including "%3A" in the prefixes) is kept.
QUrl requestUrl(const QString& address);

// "host:port" of an address as the network layer will ask it.
QString addressAuthority(const QString& address);

}  // namespace zorvan
