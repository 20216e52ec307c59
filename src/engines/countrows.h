#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include "engines/rules.h"
#include "net/sequencer.h"
#include "vocab/figures.h"

namespace zorvan {

// One value query as the services were built for: the page at the role's host + prefix + domain,
// cut between the markers, for one figure. Baidu rows carry a second wording tried when the first
// finds nothing. These are the built-in rules; a query runs the rules in effect, in this order.
struct CountRow {
    QString id;  // "W1", "E3" ...
    QString role;
    QString prefix;
    QString start;
    QString end;
    Figure figure;
    QString fallbackStart;
    QString fallbackEnd;
};

// The window's batch: the first of a query's two streams.
const QList<CountRow>& windowBatchRows();
// The engine, Youdao and Sogou/Yahoo batches, in the order the other stream runs them.
const QList<CountRow>& engineBatchRows();
const QList<CountRow>& youdaoBatchRows();
const QList<CountRow>& sogouYahooBatchRows();

// Runs one row's rule for a domain: its value, or "X" when neither wording was found (the result
// then names both markers, and its time counts both fetches), as requests of the chain.
void runCountRowAsync(const Chain& chain, const FigureRule& rule, const QString& domain,
                      std::function<void(const ValueResult&)> done);

}  // namespace zorvan
