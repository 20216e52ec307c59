#include "fetch/valuefetch.h"

#include <QElapsedTimer>
#include <memory>

namespace zorvan {

QString verdictKey(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok: return QStringLiteral("ok");
        case Verdict::NotFound: return QStringLiteral("not-found");
        case Verdict::Blocked: return QStringLiteral("blocked");
        case Verdict::NoAnswer: return QStringLiteral("no-answer");
        case Verdict::Error: return QStringLiteral("error");
    }
    return QString();
}

bool looksBlocked(int status, const QString& page) {
    if (status == 403 || status == 429) return true;
    static const QStringList cues = {QStringLiteral("验证码"), QStringLiteral("安全验证"), QStringLiteral("异常流量"),
                                     QStringLiteral("unusual traffic"), QStringLiteral("captcha")};
    for (const QString& cue : cues)
        if (page.contains(cue, Qt::CaseInsensitive)) return true;
    return false;
}

ValueResult valueNotFound(const QString& url, const QString& start, const FetchResult& page, const QString& text) {
    ValueResult r;
    r.url = url;
    r.start = start;
    r.status = page.status;
    r.bytes = page.body.size();
    r.detail = page.detail;
    r.ms = page.elapsedMs;
    r.text = NotFound;
    switch (page.outcome) {
        case FetchOutcome::NoAnswer: r.verdict = Verdict::NoAnswer; break;
        case FetchOutcome::TooBig:
        case FetchOutcome::Failed: r.verdict = Verdict::Error; break;
        case FetchOutcome::Answered:
            r.verdict = looksBlocked(page.status, text) ? Verdict::Blocked : Verdict::NotFound;
            break;
    }
    return r;
}

FetchOptions FetchBudget::optionsFor(const QString& address) const {
    FetchOptions options = defaultFetchOptions();
    if (silentHosts_.contains(addressAuthority(address))) {
        options.timeoutMs = 0;
    } else if (!deadline_.isForever()) {
        options.timeoutMs = int(std::min<qint64>(options.timeoutMs, std::max<qint64>(0, deadline_.remainingTime())));
    }
    return options;
}

void FetchBudget::noteResult(const QString& address, const FetchResult& result) {
    if (result.outcome == FetchOutcome::NoAnswer && !silentHosts_.contains(addressAuthority(address)))
        silentHosts_.insert(addressAuthority(address), result.detail);
}

void BudgetedFetch(const QString& address, FetchBudget* budget, QObject* context,
                   std::function<void(const FetchResult&)> done) {
    if (!budget) {
        FetchAsync(address, defaultFetchOptions(), context, std::move(done));
        return;
    }
    // A request not made because its host was silent before tells that earlier reason.
    const QString silence = budget->silence(address);
    FetchAsync(address, budget->optionsFor(address), context,
               [budget, address, silence, done = std::move(done)](const FetchResult& r) {
                   budget->noteResult(address, r);
                   if (silence.isEmpty()) {
                       done(r);
                       return;
                   }
                   FetchResult skipped = r;
                   skipped.detail = silence;
                   done(skipped);
               });
}

std::optional<QString> declaredCharset(const QString& page) {
    return CutBetween(page, QStringLiteral("charset="), QStringLiteral("\""));
}

QString valueCharset(const QString& declared) {
    return declared == QStringLiteral("gb2312") ? QStringLiteral("gb2312") : QStringLiteral("UTF-8");
}

std::optional<QString> cutValue(const QString& text, const QString& start, const QString& end) {
    auto value = CutBetween(text, start, end);
    if (!value) return std::nullopt;
    value->remove(u',');
    return capValue(*value);
}

namespace {

// The state of one value fetch across its one or three requests.
struct ValueFetch {
    ValueRule rule;
    FetchBudget* budget;
    QObject* context;
    std::function<void(const ValueResult&)> done;
    QElapsedTimer clock;
    QString declared;
    FetchResult gb;

    void cut(const FetchResult& page, const QString& text) {
        ValueResult r = valueNotFound(rule.url, rule.start, page, text);
        r.charset = declared;
        if (const auto value = cutValue(text, rule.start, rule.end)) {
            r.text = *value;
            r.verdict = Verdict::Ok;
        }
        r.ms = clock.elapsed();
        done(r);
    }
};

}  // namespace

void FetchValueAsync(const ValueRule& rule, FetchBudget* budget, QObject* context,
                     std::function<void(const ValueResult&)> done) {
    auto state = std::make_shared<ValueFetch>(ValueFetch{rule, budget, context, std::move(done), {}, {}, {}});
    state->clock.start();
    BudgetedFetch(rule.url, budget, context, [state](const FetchResult& first) {
        const QString page = BytesToText(first.body, QStringLiteral("gb2312"));
        const auto declared = declaredCharset(page);
        if (!declared) {
            state->cut(first, page);
            return;
        }
        // Both later requests are made whatever the declaration says; the services count on
        // nothing else, and the request pattern is part of how the tool is known to behave.
        state->declared = *declared;
        BudgetedFetch(state->rule.url, state->budget, state->context, [state](const FetchResult& asGb) {
            state->gb = asGb;
            BudgetedFetch(state->rule.url, state->budget, state->context, [state](const FetchResult& asUtf8) {
                const QString charset = valueCharset(state->declared);
                const FetchResult& page = charset == QStringLiteral("gb2312") ? state->gb : asUtf8;
                state->cut(page, BytesToText(page.body, charset));
            });
        });
    });
}

QString verdictReason(const ValueResult& result) {
    switch (result.verdict) {
        case Verdict::Ok: return QString();
        case Verdict::NotFound: return QStringLiteral("页面中没有找到标记：") + result.start;
        case Verdict::Blocked:
            return result.status == 403 || result.status == 429
                       ? QStringLiteral("疑似被拦截（HTTP %1）").arg(result.status)
                       : QStringLiteral("疑似被拦截（验证码）");
        case Verdict::NoAnswer: return QStringLiteral("服务无应答（") + result.detail + QStringLiteral("）");
        case Verdict::Error: return QStringLiteral("查询出错（") + result.detail + QStringLiteral("）");
    }
    return QString();
}

}  // namespace zorvan
