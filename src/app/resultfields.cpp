#include "app/resultfields.h"

#include <array>
#include <iterator>

#include "vocab/text.h"

namespace zorvan {
namespace {

// Each engine's suffix of its two fields: "Labelslbd" shows Baidu's indexed pages, "Labelfxbd" its
// backlinks.
QString engineSuffix(Engine engine) {
    static const char* const suffixes[EngineCount] = {"bd", "gg", "yh", "sg", "ss", "by", "yd"};
    return QString::fromLatin1(suffixes[int(engine)]);
}

const std::array<QString, FigureCount>& figureControls() {
    static const std::array<QString, FigureCount> names = [] {
        std::array<QString, FigureCount> n;
        n[size_t(Figure::BaiduSnapshot)] = S("Label13");
        n[size_t(Figure::AlexaRank)] = S("Label14");
        n[size_t(Figure::PageRank)] = S("Label15");
        n[size_t(Figure::SogouRank)] = S("Label16");
        for (const EngineInfo& e : engineTable()) {
            n[size_t(indexedFigure(e.engine))] = S("Labelsl") + engineSuffix(e.engine);
            n[size_t(backlinksFigure(e.engine))] = S("Labelfx") + engineSuffix(e.engine);
        }
        return n;
    }();
    return names;
}

}  // namespace

const QString& figureControl(Figure figure) {
    return figureControls()[size_t(figure)];
}

const QString& detailControl(DetailField field) {
    // In the order of DetailField: the Baidu row, the Google row, the first result's title.
    static const QString names[] = {S("Label84"), S("Label85"), S("Label86"), S("Label87"),
                                    S("Label88"), S("Label89"), S("Label28"), S("Label56"),
                                    S("Label27"), S("Label57"), S("Label74"), S("Label94"),
                                    S("Label17")};
    static_assert(std::size(names) == DetailFieldCount);
    return names[int(field)];
}

const QList<Figure>& resetOrder() {
    using F = Figure;
    static const QList<Figure> order = {F::BaiduSnapshot,  F::AlexaRank,       F::PageRank,
                                        F::SogouRank,      F::IndexedBaidu,    F::BacklinksBaidu,
                                        F::IndexedGoogle,  F::BacklinksGoogle, F::IndexedYahoo,
                                        F::BacklinksYahoo, F::IndexedSogou,    F::IndexedSoso,
                                        F::IndexedBing,    F::IndexedYoudao,   F::BacklinksSogou,
                                        F::BacklinksSoso,  F::BacklinksBing,   F::BacklinksYoudao};
    return order;
}

QStringList detailColumns() {
    return {S("今日收录"), S("一星期收录"), S("一月收录"),
            S("所有收录"), S("最新快照"),   S("site:首页")};
}

}  // namespace zorvan
