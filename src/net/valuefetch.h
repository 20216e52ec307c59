#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

#include "net/fetch.h"

namespace zorvan {

// Why a value is what it is.
enum class Verdict {
    Ok,        // the start marker was found
    NotFound,  // the page came, the marker did not
    Blocked,   // the page came, but as a refusal: HTTP 403 or 429, or a captcha
    NoAnswer,  // the service did not answer (time-out, refused, reset)
    Error,     // too big, or an address that cannot be asked
    NoProxy,   // every proxy of the list in use was dropped: not asked
};

// The text of each verdict as the command prints it: "ok", "not-found" ...
QString verdictKey(Verdict verdict);
// The same as the windows show it: "正常", "未找到标记" ...
QString verdictWords(Verdict verdict);

// True when a page is a refusal rather than a result: HTTP 403 or 429, or a captcha cue.
bool looksBlocked(int status, const QString& page);
// The same for an answer whose encoding nothing has settled yet: its cues are looked for in both
// of the services' encodings, so one page gets one verdict wherever it is read.
bool isRefusal(const FetchResult& page);

// What a fetched page is worth before anything is cut from it: Ok for a result page; Blocked for
// a refusal (even one that holds the markers: block pages quote counts too) or an answer not
// asked for because its host keeps refusing; Error for any other
// status of 400 or more, or a fetch that failed; NoAnswer when the service was silent.
Verdict pageVerdict(const FetchResult& page, const QString& text);

// How an answer asks its host to slow down. A 429 or 503 with a Retry-After names the wait; a
// refusal (Blocked, in either of the services' encodings) and a 503 without one only say "slower".
struct SlowDown {
    std::optional<qint64> waitMs;  // the wait asked for, from the answer's arrival
    bool blocked = false;          // the answer is no result: worth asking again later
    QString reason;                // for a person: "HTTP 429", "verification page" ...
};
std::optional<SlowDown> slowDownAsked(const FetchResult& page, const QDateTime& nowUtc);

// A page's body decoded as charset, or empty text when it is no result page (pageVerdict), so
// that nothing is ever cut from a block or error page.
QString resultPageText(const FetchResult& page, const QString& charset);

// One value to fetch: the whole address, and the markers to cut it out.
struct ValueRule {
    QString url;
    QString start;
    QString end;
};

struct ValueResult {
    QString text;  // the value as a field shows it (commas removed), or "X"
    Verdict verdict = Verdict::Error;
    QString url;          // the address asked
    QString finalUrl;     // the address the page came from: url unless a redirect led elsewhere
    QString start;        // the start marker looked for
    int status = 0;       // HTTP status of the page that was cut (0 when none)
    qsizetype bytes = 0;  // size of that page's body
    QString charset;      // the page's declared charset; empty when it declares none
    QString detail;       // the fetch's own reason when it had no page ("超时" ...)
    qint64 ms = 0;        // from the first request to the cut
    bool found() const { return verdict == Verdict::Ok; }
};

// "X" for a value not found in a fetched page (text: its decoded body), with the verdict that
// page deserves; the caller fills in the value when it finds one.
ValueResult valueNotFound(const QString& url, const QString& start, const FetchResult& page,
                          const QString& text);

// Shared by the requests of one combined query: a host that has not answered once is not asked
// again, and no request outlives the query's deadline.
//
// Time a request spends waiting for its host's turn (a gap kept, or a wait the service asked for)
// does not count: the deadline bounds services that do not answer, and a service that asks for a
// wait has answered. Waits of several streams at once count once, so the deadline moves by no
// more than the wall time spent waiting. The waits themselves are bounded (caps, retry counts).
class FetchBudget {
  public:
    explicit FetchBudget(int deadlineMs);
    // The options for a request to address now; a timeout of 0 means "do not ask".
    FetchOptions optionsFor(const QString& address) const;
    void noteResult(const QString& address, const FetchResult& result);
    // Why the address's host did not answer earlier ("连接被拒绝" ...); empty when it has not
    // failed.
    QString silence(const QString& address) const {
        return silentHosts_.value(addressAuthority(address));
    }
    // A request waits ms from now for its host's turn.
    void excuseWait(qint64 ms);
    // A request waited ms until now for a connection to its host.
    void excuseQueued(qint64 ms);

  private:
    void excuse(qint64 from, qint64 until);
    QElapsedTimer clock_;
    std::optional<qint64> deadlineAt_;  // on clock_; none: no deadline
    qint64 excusedUntil_ = 0;
    QHash<QString, QString> silentHosts_;
};

// The pieces of that fetch that read the page, so that they can be tried on any bytes: the
// charset a page declares, read from its code page 936 text; the decoding a value is cut from
// once a page declares one; and the value between the markers with commas removed, at most
// MaxValueLength characters (nothing when the start marker is missing or followed by nothing).
std::optional<QString> declaredCharset(const QString& page);
QString valueCharset(const QString& declared);
std::optional<QString> cutValue(const QString& text, const QString& start, const QString& end);

// The reason a field shows "X", in Chinese, for its tooltip; empty for a found value.
QString verdictReason(const ValueResult& result);

}  // namespace zorvan
