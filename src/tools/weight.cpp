#include "tools/weight.h"

#include "core/services.h"
#include "net/fetch.h"

namespace zorvan {

namespace {

// A figure as its label shows it; a page without the end marker hands it no more than a value's
// 256 characters.
std::optional<QString> framed(const std::optional<QString>& cut, const QString& before,
                              const QString& after = QString()) {
    if (!cut) return std::nullopt;
    return before + capValue(*cut) + after;
}

}  // namespace

QString weightLookupUrl(const QString& domain) {
    return serviceBase(Role::KeywordRank) + QStringLiteral("/baidu/") + domainInAddress(domain);
}

WeightFigures cutWeightFigures(const QString& page) {
    const QString red = QStringLiteral("<span style=\"color:#F00\">");
    const QString lt = QStringLiteral("<");
    const QString blank = QStringLiteral(" ");
    WeightFigures figures;
    figures.weight =
        framed(CutBetween(page, QStringLiteral("百度权重值为"), QStringLiteral("，")), QString());
    figures.count = framed(CutBetween(page, QStringLiteral("累计找到 ") + red, lt), QString());
    figures.countLine = framed(figures.count, QStringLiteral("共检查到"), QStringLiteral("条"));
    figures.traffic = framed(CutBetween(page, QStringLiteral("流量为：") + red, lt),
                             QStringLiteral("百度能给该站带来："), QStringLiteral("/IP"));
    figures.snapshot =
        framed(CutBetween(page, QStringLiteral("快照日期："), blank), QStringLiteral("百度快照："));
    figures.indexed =
        framed(CutBetween(page, QStringLiteral("收录数："), blank), QStringLiteral("百度收录共："));
    return figures;
}

ChainStep lookUpWeight(const QString& domain, std::function<void(const WeightFigures&)> done) {
    const QString url = weightLookupUrl(domain);
    return fetchPageText(
        [url] { return url; }, QStringLiteral("gb2312"),
        [done = std::move(done)](const QString& page) { done(cutWeightFigures(page)); });
}

}  // namespace zorvan
