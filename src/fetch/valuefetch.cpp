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

Verdict pageVerdict(const FetchResult& page, const QString& text) {
    switch (page.outcome) {
        case FetchOutcome::NoAnswer: return Verdict::NoAnswer;
        case FetchOutcome::TooBig:
        case FetchOutcome::Failed: return Verdict::Error;
        case FetchOutcome::Answered: break;
    }
    if (looksBlocked(page.status, text)) return Verdict::Blocked;
    return page.status >= 400 ? Verdict::Error : Verdict::Ok;
}

QString resultPageText(const FetchResult& page, const QString& charset) {
    QString text = BytesToText(page.body, charset);
    if (pageVerdict(page, text) != Verdict::Ok) text.clear();
    return text;
}

ValueResult valueNotFound(const QString& url, const QString& start, const FetchResult& page, const QString& text) {
    ValueResult r;
    r.url = url;
    r.finalUrl = page.redirectedTo.isEmpty() ? url : page.redirectedTo;
    r.start = start;
    r.status = page.status;
    r.bytes = page.body.size();
    r.detail = page.detail;
    r.ms = page.elapsedMs;
    r.text = NotFound;
    r.verdict = pageVerdict(page, text);
    if (r.verdict == Verdict::Ok) r.verdict = Verdict::NotFound;
    if (r.verdict == Verdict::Error && page.answered()) r.detail = QStringLiteral("HTTP %1").arg(page.status);
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
        // Only a result page is cut: a block page that quotes a count is still a block page.
        const auto value = r.verdict == Verdict::NotFound ? CutBetween(text, rule.start, rule.end) : std::nullopt;
        if (value) {
            QString v = *value;
            v.remove(u',');
            r.text = capValue(v);
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
        const auto declared = CutBetween(page, QStringLiteral("charset="), QStringLiteral("\""));
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
                if (state->declared == QStringLiteral("gb2312"))
                    state->cut(state->gb, BytesToText(state->gb.body, QStringLiteral("gb2312")));
                else
                    state->cut(asUtf8, BytesToText(asUtf8.body, QStringLiteral("UTF-8")));
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
