#include "engines/quicklinks.h"

#include "core/services.h"
#include "engines/rules.h"

namespace zorvan {

std::optional<QuickLink> quickLink(Figure figure) {
    switch (figure) {
        case Figure::PageRank:
            return std::nullopt;
        // The snapshot figure opens a plain Baidu search, the Sogou rank the Sogou backlink search.
        case Figure::BaiduSnapshot:
            return QuickLink{serviceBase(Role::Baidu) + QStringLiteral("/s?wd="), {}};
        case Figure::AlexaRank:
            return QuickLink{serviceBase(Role::Alexa) + QStringLiteral("/siteinfo/"), {}};
        case Figure::SogouRank:
            return QuickLink{serviceBase(Role::Sogou) + QStringLiteral("/web?query=link%3A"), {}};
        default:
            break;
    }
    // The domain goes where the rule's address puts it (at the end when the address names none).
    const QString url = effectiveRules().rules[figure].url;
    const QString marker = QStringLiteral("{domain}");
    const qsizetype at = url.indexOf(marker);
    if (at < 0) return QuickLink{expandRuleUrl(url, QString()), {}};
    return QuickLink{expandRuleUrl(url.left(at), QString()),
                     expandRuleUrl(url.mid(at + marker.size()), QString())};
}

QuickLink hostAreaLink() {
    return {serviceBase(Role::Google) + QStringLiteral("/search?hl=zh-CN&q=link%3A"), {}};
}

}  // namespace zorvan
