#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "fetch/valuefetch.h"

namespace zorvan {

// The Google PageRank of a domain, read through the lookup site's rank frame: the rank text, "0"
// for a rank of another form, or "X" when a page lacks its marker or a fetch failed. done is
// called later from the event loop, unless context goes first.
void PageRankLookupAsync(const QString& domain, FetchBudget* budget, QObject* context,
                         std::function<void(const ValueResult&)> done);

}  // namespace zorvan
