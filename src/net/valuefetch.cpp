#include "net/valuefetch.h"

#include <algorithm>

#include "net/pacer.h"

namespace zorvan {

QString verdictKey(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return QStringLiteral("ok");
        case Verdict::NotFound:
            return QStringLiteral("not-found");
        case Verdict::Blocked:
            return QStringLiteral("blocked");
        case Verdict::NoAnswer:
            return QStringLiteral("no-answer");
        case Verdict::Error:
            return QStringLiteral("error");
        case Verdict::NoProxy:
            return QStringLiteral("no-proxy");
    }
    return QString();
}

QString verdictWords(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return QStringLiteral("正常");
        case Verdict::NotFound:
            return QStringLiteral("未找到标记");
        case Verdict::Blocked:
            return QStringLiteral("疑似被拦截");
        case Verdict::NoAnswer:
            return QStringLiteral("无应答");
        case Verdict::Error:
            return QStringLiteral("出错");
        case Verdict::NoProxy:
            return QStringLiteral("无可用代理");
    }
    return QString();
}

bool looksBlocked(int status, const QString& page) {
    if (status == 403 || status == 429) return true;
    static const QStringList cues = {QStringLiteral("验证码"), QStringLiteral("安全验证"),
                                     QStringLiteral("异常流量"), QStringLiteral("unusual traffic"),
                                     QStringLiteral("captcha")};
    for (const QString& cue : cues)
        if (page.contains(cue, Qt::CaseInsensitive)) return true;
    return false;
}

bool isRefusal(const FetchResult& page) {
    if (!page.answered()) return false;
    return looksBlocked(page.status, BytesToText(page.body, QStringLiteral("gb2312"))) ||
           looksBlocked(page.status, BytesToText(page.body, QStringLiteral("UTF-8")));
}

Verdict pageVerdict(const FetchResult& page, const QString& text) {
    switch (page.outcome) {
        case FetchOutcome::GivenUp:
            return Verdict::Blocked;
        case FetchOutcome::NoAnswer:
            // The proxy failed, not the service: no other proxy could ask in its place.
            return page.proxyFailed ? Verdict::NoProxy : Verdict::NoAnswer;
        case FetchOutcome::NoProxy:
            return Verdict::NoProxy;
        case FetchOutcome::TooBig:
        case FetchOutcome::Failed:
            return Verdict::Error;
        case FetchOutcome::Answered:
            break;
    }
    if (looksBlocked(page.status, text) || isRefusal(page)) return Verdict::Blocked;
    return page.status >= 400 ? Verdict::Error : Verdict::Ok;
}

QString resultPageText(const FetchResult& page, const QString& charset) {
    QString text = BytesToText(page.body, charset);
    if (pageVerdict(page, text) != Verdict::Ok) text.clear();
    return text;
}

ValueResult valueNotFound(const QString& url, const QString& start, const FetchResult& page,
                          const QString& text) {
    ValueResult r;
    r.url = url;
    r.finalUrl = page.redirectedTo.isEmpty() ? url : page.redirectedTo;
    r.start = start;
    r.status = page.status;
    r.bytes = page.body.size();
    r.detail = page.detail;
    r.ms = page.elapsedMs;
    r.text = NotFoundMark;
    r.verdict = pageVerdict(page, text);
    if (r.verdict == Verdict::Ok) r.verdict = Verdict::NotFound;
    if (r.verdict == Verdict::Error && page.answered())
        r.detail = QStringLiteral("HTTP %1").arg(page.status);
    return r;
}

std::optional<SlowDown> slowDownAsked(const FetchResult& page, const QDateTime& nowUtc) {
    if (!page.answered()) return std::nullopt;
    const QString status = QStringLiteral("HTTP %1").arg(page.status);
    if (page.status == 429 || page.status == 503) {
        if (const auto wait = retryAfterMs(page.retryAfter, nowUtc))
            return SlowDown{wait, false, status + QStringLiteral(" Retry-After")};
    }
    if (isRefusal(page)) {
        const bool refused = page.status == 403 || page.status == 429;
        return SlowDown{std::nullopt, true, refused ? status : QStringLiteral("verification page")};
    }
    if (page.status == 503) return SlowDown{std::nullopt, false, status};
    return std::nullopt;
}

FetchBudget::FetchBudget(int deadlineMs) {
    clock_.start();
    if (deadlineMs >= 0) deadlineAt_ = deadlineMs;
}

FetchOptions FetchBudget::optionsFor(const QString& address) const {
    FetchOptions options = defaultFetchOptions();
    if (silentHosts_.contains(addressAuthority(address))) {
        options.timeoutMs = 0;
    } else if (deadlineAt_) {
        options.timeoutMs =
            int(std::clamp<qint64>(*deadlineAt_ - clock_.elapsed(), 0, options.timeoutMs));
    }
    return options;
}

void FetchBudget::excuseWait(qint64 ms) {
    const qint64 now = clock_.elapsed();
    excuse(now, now + ms);
}

void FetchBudget::excuseQueued(qint64 ms) {
    const qint64 now = clock_.elapsed();
    excuse(now - ms, now);
}

// Excused spans of several streams at once count once.
void FetchBudget::excuse(qint64 start, qint64 until) {
    const qint64 from = std::max(start, excusedUntil_);
    if (until <= from) return;
    if (deadlineAt_) *deadlineAt_ += until - from;
    excusedUntil_ = until;
}

void FetchBudget::noteResult(const QString& address, const FetchResult& result) {
    if (result.outcome == FetchOutcome::NoAnswer &&
        !silentHosts_.contains(addressAuthority(address)))
        silentHosts_.insert(addressAuthority(address), result.detail);
}

std::optional<QString> declaredCharset(const QString& page) {
    return CutBetween(page, QStringLiteral("charset="), QStringLiteral("\""));
}

QString valueCharset(const QString& declared) {
    return declared == QStringLiteral("gb2312") ? QStringLiteral("gb2312")
                                                : QStringLiteral("UTF-8");
}

std::optional<QString> cutValue(const QString& text, const QString& start, const QString& end) {
    auto value = CutBetween(text, start, end);
    if (!value) return std::nullopt;
    value->remove(u',');
    return capValue(*value);
}

QString verdictReason(const ValueResult& result) {
    switch (result.verdict) {
        case Verdict::Ok:
            return QString();
        case Verdict::NotFound:
            return QStringLiteral("页面中没有找到标记：") + result.start;
        case Verdict::Blocked:
            if (result.status == 403 || result.status == 429)
                return QStringLiteral("疑似被拦截（HTTP %1）").arg(result.status);
            return result.status == 0 && !result.detail.isEmpty()
                       ? QStringLiteral("疑似被拦截（") + result.detail + QStringLiteral("）")
                       : QStringLiteral("疑似被拦截（验证码）");
        case Verdict::NoAnswer:
            return QStringLiteral("服务无应答（") + result.detail + QStringLiteral("）");
        case Verdict::Error:
            return QStringLiteral("查询出错（") + result.detail + QStringLiteral("）");
        case Verdict::NoProxy:
            return QStringLiteral("所有代理均已失效");
    }
    return QString();
}

}  // namespace zorvan
