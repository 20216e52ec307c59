#include "vocab/figures.h"

#include "vocab/text.h"

namespace zorvan {

const std::array<EngineInfo, EngineCount>& engineTable() {
    static const std::array<EngineInfo, EngineCount> table = {{
        {Engine::Baidu, S("百度"), S("百度"), S("baidu"), S("#2932e1")},
        {Engine::Google, S("谷歌"), S("谷歌"), S("google"), S("#4285f4")},
        {Engine::Yahoo, S("雅虎"), S("雅虎"), S("yahoo"), S("#6001d2")},
        {Engine::Sogou, S("搜狗"), S("搜狗"), S("sogou"), S("#fb6022")},
        {Engine::Soso, S("SOSO"), S("搜搜"), S("soso"), S("#0f8fd8")},
        {Engine::Bing, S("必应"), S("必应"), S("bing"), S("#008373")},
        {Engine::Youdao, S("有道"), S("有道"), S("youdao"), S("#e0301e")},
    }};
    return table;
}

const EngineInfo& engineInfo(Engine engine) {
    return engineTable()[size_t(engine)];
}

Figure indexedFigure(Engine engine) {
    return Figure(int(Figure::IndexedBaidu) + int(engine));
}
Figure backlinksFigure(Engine engine) {
    return Figure(int(Figure::BacklinksBaidu) + int(engine));
}

bool isCount(Figure figure) {
    return figure >= Figure::IndexedBaidu;
}

const std::array<FigureInfo, FigureCount>& figureTable() {
    static const std::array<FigureInfo, FigureCount> table = [] {
        std::array<FigureInfo, FigureCount> t = {{
            {Figure::BaiduSnapshot,
             FigureKind::BaiduSnapshot,
             {},
             S("百度快照"),
             -1,
             S("baidu_snapshot")},
            // The Alexa rank closes every history record.
            {Figure::AlexaRank,
             FigureKind::AlexaRank,
             {},
             S("Alexa Rank"),
             2 * EngineCount,
             S("alexa_rank")},
            {Figure::PageRank, FigureKind::PageRank, {}, S("Google PageRank"), -1, S("pagerank")},
            {Figure::SogouRank, FigureKind::SogouRank, {}, S("Sogou Rank"), -1, S("sogou_rank")},
        }};
        // A record holds each engine's "indexed/backlinks" pair, engine by engine.
        for (const EngineInfo& e : engineTable()) {
            const int i = int(e.engine);
            t[size_t(indexedFigure(e.engine))] = {indexedFigure(e.engine),
                                                  FigureKind::Indexed,
                                                  e.engine,
                                                  e.name + S(" 收录情况"),
                                                  2 * i,
                                                  QStringLiteral("indexed.") + e.key};
            t[size_t(backlinksFigure(e.engine))] = {backlinksFigure(e.engine),
                                                    FigureKind::Backlinks,
                                                    e.engine,
                                                    e.name + S(" 反向链接"),
                                                    2 * i + 1,
                                                    QStringLiteral("backlinks.") + e.key};
        }
        return t;
    }();
    return table;
}

const FigureInfo& figureInfo(Figure figure) {
    return figureTable()[size_t(figure)];
}

std::optional<Figure> figureByKey(const QString& key) {
    for (const FigureInfo& f : figureTable())
        if (f.key == key) return f.figure;
    return std::nullopt;
}

}  // namespace zorvan
