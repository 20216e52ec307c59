#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "engines/rules.h"
#include "net/sequencer.h"

namespace zorvan {

// The lookup site's two steps as the services were built for: the lookup page's rank frame, whose
// address part rebuilds the rank address for the domain, and the rank after "Rank_".
FigureRule builtinPageRankRule();

// The Google PageRank of a domain, read through the lookup site's rank frame by the rule's two
// steps: the rank text, "0" for a rank of another form, or "X" when a page lacks its marker or a
// fetch failed; as requests of the chain.
void pageRankLookupAsync(const Chain& chain, const FigureRule& rule, const QString& domain,
                         std::function<void(const ValueResult&)> done);

}  // namespace zorvan
