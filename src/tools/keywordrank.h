#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

#include "net/sequencer.h"

namespace zorvan {

// The list never holds more rows than this, whatever the count or the header says.
constexpr int RankingRowLimit = 15;

// Rows of the keyword list for the count text of the last lookup: over 15 gives 15, a text that
// is not a number gives 15, 0 or less none, a fraction its whole numbers.
int rankingRowCount(const QString& countText);

// The text after the j-th occurrence of the marker, up to the next one or the end; piece 0 is the
// text before the first. Nothing when there is no such piece or the text is empty.
std::optional<QString> SplitPiece(const QString& text, const QString& marker, int j);

// Columns of the list: row number, keyword, rank, heat, results, page title.
constexpr int RankingColumns = 6;
QStringList rankingHeadersAtLoad();
QStringList rankingHeadersAfterLookup();
const std::array<int, RankingColumns>& rankingColumnWidths();

// A placeholder row: "1" to "5" in columns 2 to 6.
QStringList rankingPlaceholders();

// The cells of one row cut from the page (columns 2 to 6); nothing keeps the placeholder.
using RankingCells = std::array<std::optional<QString>, RankingColumns - 1>;

// Rows 1 to 15 of a ranking page.
std::array<RankingCells, RankingRowLimit> cutRankingRows(const QString& page);

// Fetches the domain's ranking page again (code page 936) as a chain step, and cuts its rows.
using RankingRows = std::array<RankingCells, RankingRowLimit>;
ChainStep fetchRankingRows(const QString& domain, std::function<void(const RankingRows&)> done);

// What the tooltip shows over a cell: the row number over column 1 (0-based column 0), else the
// cell's text and the double-click hint.
QString rankingTooltip(int column, int rowNumber, const QString& cellText);

// The Baidu search for a keyword, unencoded as typed.
QString keywordSearchAddress(const QString& keyword);

}  // namespace zorvan
