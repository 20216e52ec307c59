#include "engines/pagerank.h"

#include "fetch/fetch.h"
#include "fetch/services.h"

namespace zorvan {

std::optional<QString> PageRankLookup(const QString& domain) {
    const QString http = QStringLiteral("http://");
    const QString page = GetPageUtf8(serviceBase(Role::PageRank) + QStringLiteral("/?PRAddress=") + domain);
    const auto frame = CutBetween(page, QStringLiteral("<iframe src=\"http://"), http);
    if (!frame) return std::nullopt;
    const QString answer = GetPageUtf8(http + *frame + http + domain + QStringLiteral("/"));
    auto rank = CutBetween(answer, QStringLiteral("Rank_"), QString());
    if (!rank) return std::nullopt;
    rank->remove(QStringLiteral("1:1:"));
    if (rank->contains(u':')) return QStringLiteral("0");
    return rank;
}

}  // namespace zorvan
