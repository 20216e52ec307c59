#include "tools/keywordrank.h"

#include <cmath>

#include "core/services.h"
#include "net/fetch.h"
#include "tools/backlink.h"
#include "tools/weight.h"

namespace zorvan {

namespace {

// The text before the first terminator; the whole piece when it has none, kept to a value's
// 256 characters like every figure cut from a page.
QString before(const QString& piece, const QString& terminator) {
    const qsizetype at = piece.indexOf(terminator);
    return capValue(at < 0 ? piece : piece.left(at));
}

std::optional<QString> cell(const QString& page, const QString& marker, int j,
                            const QString& terminator) {
    const std::optional<QString> piece = SplitPiece(page, marker, j);
    if (!piece || piece->isEmpty()) return std::nullopt;
    return before(*piece, terminator);
}

}  // namespace

int rankingRowCount(const QString& countText) {
    const std::optional<double> count = numberFromText(countText);
    if (!count || *count > RankingRowLimit) return RankingRowLimit;
    if (*count < 1) return 0;
    return int(std::floor(*count));
}

std::optional<QString> SplitPiece(const QString& text, const QString& marker, int j) {
    if (text.isEmpty() || marker.isEmpty() || j < 0) return std::nullopt;
    qsizetype start = 0;
    for (int i = 0; i < j; ++i) {
        const qsizetype at = text.indexOf(marker, start);
        if (at < 0) return std::nullopt;
        start = at + marker.size();
    }
    const qsizetype end = text.indexOf(marker, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

QStringList rankingHeadersAtLoad() {
    return {QStringLiteral("序号"),       QStringLiteral("  (靠前)关键字"),
            QStringLiteral("百度排名"),   QStringLiteral("关键字搜索热度"),
            QStringLiteral("百度总收录"), QStringLiteral("    页面标题")};
}

QStringList rankingHeadersAfterLookup() {
    QStringList headers = rankingHeadersAtLoad();
    headers.last() = QStringLiteral("    页面标题      最多列出45条");
    return headers;
}

const std::array<int, RankingColumns>& rankingColumnWidths() {
    static const std::array<int, RankingColumns> widths{40, 125, 90, 105, 80, 270};
    return widths;
}

QStringList rankingPlaceholders() {
    return {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
            QStringLiteral("5")};
}

std::array<RankingCells, RankingRowLimit> cutRankingRows(const QString& page) {
    const QString m1 = QStringLiteral("nofollow\">");
    const QString m2 = QStringLiteral("right\">");
    const QString m3 = QStringLiteral("<td>第");
    const QString lt = QStringLiteral("<");
    std::array<RankingCells, RankingRowLimit> rows;
    for (int k = 1; k <= RankingRowLimit; ++k) {
        RankingCells& row = rows[size_t(k - 1)];
        row[0] = cell(page, m1, 2 * k, lt);
        if (auto rank = cell(page, m3, k, QStringLiteral("位<")))
            row[1] = QStringLiteral("第") + rank->replace(u' ', u'|') + QStringLiteral("位");
        if (auto heat = cell(page, m2, 2 * k + 1, lt)) row[2] = *heat + QStringLiteral("次/日");
        row[3] = cell(page, m2, 2 * k, lt);
        row[4] = cell(page, m1, 2 * k + 1, lt);
    }
    return rows;
}

ChainStep fetchRankingRows(const QString& domain, std::function<void(const RankingRows&)> done) {
    const QString url = weightLookupUrl(domain);
    return fetchPageText(
        [url] { return url; }, QStringLiteral("gb2312"),
        [done = std::move(done)](const QString& page) { done(cutRankingRows(page)); });
}

QString rankingTooltip(int column, int rowNumber, const QString& cellText) {
    if (column == 0) return QString::number(rowNumber);
    return cellText + QStringLiteral("  双击查看");
}

QString keywordSearchAddress(const QString& keyword) {
    return serviceBase(Role::Baidu) + QStringLiteral("/s?wd=") + keyword;
}

}  // namespace zorvan
