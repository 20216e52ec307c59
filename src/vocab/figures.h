#pragma once

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace zorvan {

// The seven engines, in the order of the history record and the viewer's columns.
enum class Engine { Baidu, Google, Yahoo, Sogou, Soso, Bing, Youdao };
inline constexpr int EngineCount = 7;

struct EngineInfo {
    Engine engine;
    QString name;       // "百度": the row label of the main window ("SOSO" for Soso)
    QString shortName;  // "搜搜": the history viewer's column and the report's label
    QString key;        // "baidu": the key of the command's output and of the rules
    QString colour;     // "#2932e1": its icon and its line in charts
};
const std::array<EngineInfo, EngineCount>& engineTable();
const EngineInfo& engineInfo(Engine engine);

// The eighteen figures of a combined query, in the order of the batch record (0..17).
enum class Figure {
    BaiduSnapshot,
    AlexaRank,
    PageRank,
    SogouRank,
    IndexedBaidu,
    IndexedGoogle,
    IndexedYahoo,
    IndexedSogou,
    IndexedSoso,
    IndexedBing,
    IndexedYoudao,
    BacklinksBaidu,
    BacklinksGoogle,
    BacklinksYahoo,
    BacklinksSogou,
    BacklinksSoso,
    BacklinksBing,
    BacklinksYoudao,
};
inline constexpr int FigureCount = 18;

enum class FigureKind { Indexed, Backlinks, BaiduSnapshot, AlexaRank, PageRank, SogouRank };

struct FigureInfo {
    Figure figure;
    FigureKind kind;
    std::optional<Engine> engine;  // for indexed pages and backlinks
    QString label;     // what a screen reader and a person call it: "百度 收录情况"
    int historyPlace;  // position in the history record (0..14), -1 when not stored
    QString key;       // "indexed.baidu", "alexa_rank": the command's and the rules' id
};
const std::array<FigureInfo, FigureCount>& figureTable();
const FigureInfo& figureInfo(Figure figure);
std::optional<Figure> figureByKey(const QString& key);

Figure indexedFigure(Engine engine);
Figure backlinksFigure(Engine engine);
// The fourteen counts: indexed pages and backlinks of each engine.
bool isCount(Figure figure);

// The text a figure shows while its query has not answered it yet.
inline const QString Pending = QStringLiteral("...");

// The texts of the eighteen figures of one query, "..." until set.
class FigureValues {
  public:
    FigureValues() { values_.fill(Pending); }
    const QString& operator[](Figure f) const { return values_[size_t(f)]; }
    QString& operator[](Figure f) { return values_[size_t(f)]; }
    bool operator==(const FigureValues&) const = default;

  private:
    std::array<QString, FigureCount> values_;
};

}  // namespace zorvan
