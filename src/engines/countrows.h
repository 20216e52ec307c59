#pragma once

#include <QList>
#include <QString>

namespace zorvan {

// One value query: the page at the role's host + prefix + domain, cut between the markers, into
// the result field. Baidu rows carry a second wording tried when the first finds nothing.
struct CountRow {
    QString id;  // "W1", "E3" ...
    QString role;
    QString prefix;
    QString start;
    QString end;
    QString field;
    QString fallbackStart;
    QString fallbackEnd;
};

// The window thread's own batch.
const QList<CountRow>& windowBatchRows();
// The worker's three batches, in the order they run.
const QList<CountRow>& engineBatchRows();
const QList<CountRow>& youdaoBatchRows();
const QList<CountRow>& sogouYahooBatchRows();

// Runs one row for a domain and returns the field's final text ("X" when nothing was found).
QString RunCountRow(const CountRow& row, const QString& domain);

}  // namespace zorvan
