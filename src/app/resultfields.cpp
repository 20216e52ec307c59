#include "app/resultfields.h"
#include "vocab/text.h"

namespace zorvan {
namespace {
}  // namespace

const QList<Figure>& resetOrder() {
    using F = Figure;
    static const QList<Figure> order = {
        F::BaiduSnapshot,  F::AlexaRank,      F::PageRank,        F::SogouRank,       F::IndexedBaidu,
        F::BacklinksBaidu, F::IndexedGoogle,  F::BacklinksGoogle, F::IndexedYahoo,    F::BacklinksYahoo,
        F::IndexedSogou,   F::IndexedSoso,    F::IndexedBing,     F::IndexedYoudao,   F::BacklinksSogou,
        F::BacklinksSoso,  F::BacklinksBing,  F::BacklinksYoudao};
    return order;
}

QStringList baiduDetailFields() {
    return {S("Label84"), S("Label85"), S("Label86"), S("Label87"), S("Label88"), S("Label89")};
}

QStringList googleDetailFields() {
    return {S("Label28"), S("Label56"), S("Label27"), S("Label57"), S("Label74"), S("Label94")};
}

QStringList detailColumns() {
    return {S("今日收录"), S("一星期收录"), S("一月收录"), S("所有收录"), S("最新快照"), S("site:首页")};
}

}  // namespace zorvan
