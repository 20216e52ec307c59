#pragma once

#include <QString>
#include <optional>

#include "vocab/figures.h"

namespace zorvan {

// The search or service page that a clicked figure stands for: the address up to where the
// domain goes, and what follows it.
struct QuickLink {
    QString prefix;
    QString suffix;
};

// The link of a figure; nothing for the PageRank, which has none. A count opens the page its rule
// in effect reads.
std::optional<QuickLink> quickLink(Figure figure);

// The link of the main window's host area: the Google backlink search.
QuickLink hostAreaLink();

}  // namespace zorvan
