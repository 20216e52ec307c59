#pragma once

#include <QString>
#include <optional>

namespace zorvan {

// The Google PageRank of a domain, read through the lookup site's rank frame. Nothing when a page
// lacks its marker, so the field keeps what it showed.
std::optional<QString> PageRankLookup(const QString& domain);

}  // namespace zorvan
