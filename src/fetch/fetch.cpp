#include "fetch/fetch.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadStorage>
#include <QTimer>
#include <atomic>
#include <cctype>

#include "fetch/platform.h"

namespace zorvan {
namespace {

std::atomic<int> timeoutMs{[] {
    bool ok = false;
    const int env = qEnvironmentVariableIntValue("ZORVAN_FETCH_TIMEOUT_MS", &ok);
    return ok && env > 0 ? env : 20000;
}()};
std::atomic<qint64> maxBody{16 * 1024 * 1024};

// One manager per thread, created inside the thread that uses it, as Qt Network requires.
QThreadStorage<QNetworkAccessManager*> managers;

QNetworkAccessManager& manager() {
    if (!managers.hasLocalData()) managers.setLocalData(new QNetworkAccessManager);
    return *managers.localData();
}

bool mustEscape(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return true;
    switch (c) {
        case '"': case '#': case '<': case '>': case '\\': case '^': case '`':
        case '{': case '|': case '}':
            return true;
        default:
            return false;
    }
}

}  // namespace

FetchLimits fetchLimits() { return {timeoutMs.load(), maxBody.load()}; }

void setFetchLimits(const FetchLimits& limits) {
    timeoutMs = limits.timeoutMs;
    maxBody = limits.maxBodyBytes;
}

QUrl RequestUrl(const QString& address) {
    const QByteArray utf8 = address.toUtf8();
    QByteArray encoded;
    encoded.reserve(utf8.size() * 3);
    static const char hex[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char ch = utf8[i];
        const auto c = static_cast<unsigned char>(ch);
        // A "%" that starts no escape is sent as "%25"; left alone it would make the URL layer
        // re-encode every escape of the address, "%3A" of the prefixes included.
        const bool strayPercent = c == '%' && !(i + 2 < utf8.size() && std::isxdigit(static_cast<unsigned char>(utf8[i + 1])) &&
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

QByteArray FetchBytes(const QString& address) {
    const QUrl url = RequestUrl(address);
    if (!url.isValid() || url.host().isEmpty()) return {};

    const FetchLimits limits = fetchLimits();
    QNetworkRequest request(url);
    // An inactivity limit alone lets a dripping server hold the wait forever; the timer below
    // bounds the whole exchange.
    request.setTransferTimeout(limits.timeoutMs);
    QPointer<QNetworkReply> reply = manager().get(request);
    if (!reply) return {};

    QByteArray body;
    bool overflow = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.data(), &QNetworkReply::abort);
    QObject::connect(reply.data(), &QNetworkReply::readyRead, &loop, [&] {
        if (!reply || overflow) return;
        body += reply->readAll();
        if (body.size() > limits.maxBodyBytes) {
            overflow = true;
            reply->abort();
        }
    });
    QObject::connect(reply.data(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(limits.timeoutMs);
    if (!reply->isFinished()) loop.exec();

    if (!reply) return {};
    if (!reply->isFinished()) {
        // The wait was ended from outside (the thread or the program is quitting).
        reply->abort();
        reply->deleteLater();
        return {};
    }
    if (!overflow) body += reply->readAll();
    // Whatever the HTTP status, an answered request is a page (error pages are decoded like any
    // other); a transport failure, time-out, abort or oversized body is not.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const int error = reply->error();
    const bool failed = overflow || !answered || error == QNetworkReply::OperationCanceledError ||
                        error == QNetworkReply::TimeoutError;
    reply->deleteLater();
    // An HTTP error page is still a page; a transport failure, time-out or oversized body is not.
    return failed ? QByteArray() : body;
}

QString BytesToText(const QByteArray& bytes, const QString& charset) {
    // Code page 936 is what "gb2312" really means on the services' side: strict EUC-CN would
    // garble every GBK-only character.
    const QString name =
        charset.compare(QStringLiteral("gb2312"), Qt::CaseInsensitive) == 0 ? QStringLiteral("windows-936") : charset;
    QStringDecoder decoder(name.toLatin1().constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) return {};
    QString text = decoder(bytes);
    return text;
}

QString GetPageUtf8(const QString& url) { return BytesToText(FetchBytes(url), QStringLiteral("UTF-8")); }

QString GetPageGb2312(const QString& url) { return BytesToText(FetchBytes(url), QStringLiteral("gb2312")); }

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

QString GetPageValue(const QString& prefix, const QString& domain, const QString& start,
                     const QString& end, const QString& suffix) {
    const QString url = prefix + domain + suffix;
    QString page = GetPageGb2312(url);
    if (const auto declared = CutBetween(page, QStringLiteral("charset="), QStringLiteral("\""))) {
        // Both later requests are made whatever the declaration says; the services count on
        // nothing else, and the request pattern is part of how the tool is known to behave.
        QString asGb = GetPageGb2312(url);
        QString asUtf8 = GetPageUtf8(url);
        page = *declared == QStringLiteral("gb2312") ? asGb : asUtf8;
    }
    const auto value = CutBetween(page, start, end);
    if (!value) return NotFound;
    QString result = *value;
    result.remove(u',');
    return result;
}

void OpenQueryUrl(const QString& prefix, const QString& domain, const QString& suffix) {
    platform().openUrl(RequestUrl(prefix + domain + suffix));
}

}  // namespace zorvan
