#include "engines/quicklinks.h"

#include "engines/countrows.h"
#include "fetch/services.h"

namespace zorvan {

QString QuickLink::prefix() const { return serviceBase(role) + path; }

std::optional<QuickLink> quickLink(Figure figure) {
    switch (figure) {
        case Figure::PageRank: return std::nullopt;
        // The snapshot figure opens a plain Baidu search, the Sogou rank the Sogou backlink search.
        case Figure::BaiduSnapshot: return QuickLink{Role::Baidu, QStringLiteral("/s?wd=")};
        case Figure::AlexaRank: return QuickLink{Role::Alexa, QStringLiteral("/siteinfo/")};
        case Figure::SogouRank: return QuickLink{Role::Sogou, QStringLiteral("/web?query=link%3A")};
        default: break;
    }
    // Every other count links to the page its own query reads.
    for (const auto* batch : {&windowBatchRows(), &engineBatchRows(), &youdaoBatchRows(), &sogouYahooBatchRows()})
        for (const CountRow& row : *batch)
            if (row.figure == figure) return QuickLink{row.role, row.prefix};
    return std::nullopt;
}

QuickLink hostAreaLink() { return {Role::Google, QStringLiteral("/search?hl=zh-CN&q=link%3A")}; }

}  // namespace zorvan
