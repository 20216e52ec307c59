#pragma once

#include <QString>
#include <optional>

#include "engines/figures.h"

namespace zorvan {

// The search or service page that a clicked figure stands for.
struct QuickLink {
    QString role;
    QString path;  // after the host, up to where the domain goes
    QString prefix() const;
};

// The link of a figure; nothing for the PageRank, which has none.
std::optional<QuickLink> quickLink(Figure figure);

// The link of the main window's host area: the Google backlink search.
QuickLink hostAreaLink();

}  // namespace zorvan
