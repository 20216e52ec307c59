#include "engines/pagerank.h"

#include <memory>

#include "fetch/services.h"

namespace zorvan {
namespace {
const QString Http = QStringLiteral("http://");
}  // namespace

void PageRankLookupAsync(const QString& domain, FetchBudget* budget, QObject* context,
                         std::function<void(const ValueResult&)> done) {
    const QString lookup = serviceBase(Role::PageRank) + QStringLiteral("/?PRAddress=") + domainInAddress(domain);
    const QString frameStart = QStringLiteral("<iframe src=\"") + Http;
    BudgetedFetch(lookup, budget, context, [=, done = std::move(done)](const FetchResult& first) {
        const QString page = BytesToText(first.body, QStringLiteral("UTF-8"));
        const auto frame = CutBetween(page, frameStart, Http);
        if (!frame) {
            done(valueNotFound(lookup, frameStart, first, page));
            return;
        }
        const QString rankUrl = Http + *frame + Http + domainInAddress(domain) + QStringLiteral("/");
        BudgetedFetch(rankUrl, budget, context, [=](const FetchResult& second) {
            const QString answer = BytesToText(second.body, QStringLiteral("UTF-8"));
            const QString rankStart = QStringLiteral("Rank_");
            ValueResult r = valueNotFound(rankUrl, rankStart, second, answer);
            r.ms += first.elapsedMs;
            if (auto rank = CutBetween(answer, rankStart, QString())) {
                rank->remove(QStringLiteral("1:1:"));
                r.text = rank->contains(u':') ? QStringLiteral("0") : capValue(*rank);
                r.verdict = Verdict::Ok;
            }
            done(r);
        });
    });
}

}  // namespace zorvan
