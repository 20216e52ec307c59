#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace zorvan {

// Blocking HTTP GETs. On a thread with an event loop (the window thread) the wait serves that
// thread's events, so timers and clicks keep running; on a worker thread each thread uses its own
// network manager. Any failure gives empty text; every request ends within the fetch time limit.
QString GetPageUtf8(const QString& url);
QString GetPageGb2312(const QString& url);

// The raw body of one GET (empty on failure). The two page fetches above decode this.
QByteArray FetchBytes(const QString& url);

// Decodes a whole body. "gb2312" means code page 936 (GBK), the superset the services really send.
QString BytesToText(const QByteArray& bytes, const QString& charset);

// The text after the first start marker, up to the next start marker or the end, then before the
// first end marker (the whole piece when the end marker is empty or absent). Nothing found when
// the start marker is missing or followed by nothing.
std::optional<QString> CutBetween(const QString& text, const QString& start, const QString& end);

// The charset-sniffing value fetch: prefix + domain + suffix, decoded as the page declares,
// cut between the markers, commas removed; "X" when nothing is found.
QString GetPageValue(const QString& prefix, const QString& domain, const QString& start,
                     const QString& end, const QString& suffix = QString());

// The text GetPageValue returns when nothing is found.
inline const QString NotFound = QStringLiteral("X");

// Opens prefix + domain + suffix in the user's browser (never through a shell).
void OpenQueryUrl(const QString& prefix, const QString& domain, const QString& suffix = QString());

// Turns an address built from typed text into a URL without interpreting it: bytes that a request
// line cannot carry are percent-encoded, everything else (including "%3A" in the prefixes) is kept.
QUrl RequestUrl(const QString& address);

// Limits that keep every fetch bounded. The time limit is taken from ZORVAN_FETCH_TIMEOUT_MS when
// set (tests shorten it), otherwise 20 s.
struct FetchLimits {
    int timeoutMs = 20000;
    qint64 maxBodyBytes = 16 * 1024 * 1024;
};
FetchLimits fetchLimits();
void setFetchLimits(const FetchLimits& limits);

}  // namespace zorvan
