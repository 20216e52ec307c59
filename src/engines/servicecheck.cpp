#include "engines/servicecheck.h"

#include <QMap>
#include <QPointer>

#include "engines/countrows.h"
#include "engines/pagerank.h"
#include "engines/queryengine.h"
#include "fetch/fetch.h"

namespace zorvan {

ServiceCheck::ServiceCheck(QObject* parent) : QObject(parent) {}

ServiceCheck::~ServiceCheck() = default;

void ServiceCheck::start(const QString& domain, const QList<Figure>& only) {
    start(domain, effectiveRules().rules, only);
}

void ServiceCheck::start(const QString& domain, const RuleSet& rules, const QList<Figure>& only) {
    requests_ = std::make_unique<QObject>();
    // As in a query: a host that did not answer is not asked again, and nothing outlives the deadline.
    budget_ = std::make_unique<FetchBudget>(CombinedQueryEngine::DefaultDeadlineMs);
    domain_ = domain;
    rules_ = rules;
    rows_.clear();
    // One chain per host, in the order of the figures; QMap keeps the start order stable.
    QMap<QString, QList<int>> chains;
    for (const FigureInfo& f : figureTable()) {
        if (!only.isEmpty() && !only.contains(f.figure)) continue;
        chains[addressAuthority(expandRuleUrl(rules_[f.figure].url, domain))].append(int(rows_.size()));
        rows_.append({f.figure, f.key, false, {}});
    }
    runningChains_ = int(chains.size());
    if (chains.isEmpty()) {
        QMetaObject::invokeMethod(requests_.get(), [this] { Q_EMIT finished(); }, Qt::QueuedConnection);
        return;
    }
    for (const QList<int>& chain : std::as_const(chains)) runNext(std::make_shared<QList<int>>(chain));
}

void ServiceCheck::runNext(std::shared_ptr<QList<int>> chain) {
    if (chain->isEmpty()) {
        if (--runningChains_ == 0) Q_EMIT finished();
        return;
    }
    const int row = chain->takeFirst();
    const Figure figure = rows_[row].figure;
    const QObject* requests = requests_.get();
    auto done = [this, chain, row, requests](const ValueResult& result) {
        const QPointer<ServiceCheck> self(this);
        rows_[row].done = true;
        rows_[row].result = result;
        Q_EMIT rowDone(row);
        // A receiver may have deleted or restarted the check.
        if (self && requests_.get() == requests) runNext(chain);
    };
    if (figure == Figure::PageRank)
        PageRankLookupAsync(rules_[figure], domain_, budget_.get(), requests_.get(), done);
    else
        RunCountRowAsync(rules_[figure], domain_, budget_.get(), requests_.get(), done);
}

QString oneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '\r': out += QStringLiteral("\\r"); break;
            case '\n': out += QStringLiteral("\\n"); break;
            case '\t': out += QStringLiteral("\\t"); break;
            default:
                if (c.category() == QChar::Other_Control)
                    out += QStringLiteral("\\x%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0'));
                else
                    out += c;
        }
    }
    return out;
}

}  // namespace zorvan
