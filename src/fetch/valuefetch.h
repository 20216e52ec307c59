#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

#include "fetch/fetch.h"

namespace zorvan {

// Why a value is what it is.
enum class Verdict {
    Ok,        // the start marker was found
    NotFound,  // the page came, the marker did not
    Blocked,   // the page came, but as a refusal: HTTP 403 or 429, or a captcha
    NoAnswer,  // the service did not answer (time-out, refused, reset)
    Error,     // too big, or an address that cannot be asked
};

// The text of each verdict as the command prints it: "ok", "not-found" ...
QString verdictKey(Verdict verdict);

// True when a page is a refusal rather than a result: HTTP 403 or 429, or a captcha cue.
bool looksBlocked(int status, const QString& page);

// One value to fetch: the whole address, and the markers to cut it out.
struct ValueRule {
    QString url;
    QString start;
    QString end;
};

struct ValueResult {
    QString text;              // the value as a field shows it (commas removed), or "X"
    Verdict verdict = Verdict::Error;
    QString url;               // the address asked
    QString start;             // the start marker looked for
    int status = 0;            // HTTP status of the page that was cut (0 when none)
    qsizetype bytes = 0;       // size of that page's body
    QString charset;           // the page's declared charset; empty when it declares none
    QString detail;            // the fetch's own reason when it had no page ("超时" ...)
    qint64 ms = 0;             // from the first request to the cut
    bool found() const { return verdict == Verdict::Ok; }
};

// "X" for a value not found in a fetched page (text: its decoded body), with the verdict that
// page deserves; the caller fills in the value when it finds one.
ValueResult valueNotFound(const QString& url, const QString& start, const FetchResult& page, const QString& text);

// Shared by the requests of one combined query: a host that has not answered once is not asked
// again, and no request outlives the query's deadline.
class FetchBudget {
public:
    explicit FetchBudget(int deadlineMs) : deadline_(deadlineMs) {}
    // The options for a request to address now; a timeout of 0 means "do not ask".
    FetchOptions optionsFor(const QString& address) const;
    void noteResult(const QString& address, const FetchResult& result);
    // Why the address's host did not answer earlier ("连接被拒绝" ...); empty when it has not failed.
    QString silence(const QString& address) const { return silentHosts_.value(addressAuthority(address)); }

private:
    QDeadlineTimer deadline_;
    QHash<QString, QString> silentHosts_;
};

// A GET under a budget (none: the plain fetch limits). A request the budget rules out is
// answered at once, later from the event loop, as a fetch without answer.
void BudgetedFetch(const QString& address, FetchBudget* budget, QObject* context,
                   std::function<void(const FetchResult&)> done);

// The charset-sniffing value fetch: the page decoded as code page 936; when it declares a charset
// ("charset=" up to the next double quote), the same address twice more, the first decoded as
// code page 936 and the second as UTF-8, keeping the first when the declared value is exactly
// "gb2312". Then the cut between the markers with commas removed, or "X". done is called later
// from the event loop, unless context goes first.
void FetchValueAsync(const ValueRule& rule, FetchBudget* budget, QObject* context,
                     std::function<void(const ValueResult&)> done);

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
