#include "engines/pagerank.h"

#include "net/fetch.h"

namespace zorvan {

FigureRule builtinPageRankRule() {
    FigureRule rule;
    rule.url = QStringLiteral("http://{host:pagerank}/?PRAddress={domain}");
    rule.start = QStringLiteral("<iframe src=\"http://");
    rule.end = QStringLiteral("http://");
    rule.rankUrl = QStringLiteral("http://{frame}http://{domain}/");
    rule.rankStart = QStringLiteral("Rank_");
    return rule;
}

void pageRankLookupAsync(const Chain& chain, const FigureRule& rule, const QString& domain,
                         std::function<void(const ValueResult&)> done) {
    const QString lookup = expandRuleUrl(rule.url, domain);
    chain.fetch(lookup, [=, done = std::move(done)](const FetchResult& first) {
        const QString page = BytesToText(first.body, QStringLiteral("UTF-8"));
        const auto frame = pageVerdict(first, page) == Verdict::Ok
                               ? CutBetween(page, rule.start, rule.end)
                               : std::nullopt;
        if (!frame) {
            done(valueNotFound(lookup, rule.start, first, page));
            return;
        }
        const QString rankUrl = expandRuleUrl(rule.rankUrl, domain, *frame);
        chain.fetch(rankUrl, [=](const FetchResult& second) {
            const QString answer = BytesToText(second.body, QStringLiteral("UTF-8"));
            ValueResult r = valueNotFound(rankUrl, rule.rankStart, second, answer);
            r.ms += first.elapsedMs;
            auto rank = r.verdict == Verdict::NotFound
                            ? CutBetween(answer, rule.rankStart, rule.rankEnd)
                            : std::nullopt;
            if (rank) {
                rank->remove(QStringLiteral("1:1:"));
                r.text = rank->contains(u':') ? QStringLiteral("0") : capValue(*rank);
                r.verdict = Verdict::Ok;
            }
            done(r);
        });
    });
}

}  // namespace zorvan
