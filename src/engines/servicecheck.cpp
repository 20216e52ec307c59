#include "engines/servicecheck.h"

#include <QMap>

#include "engines/countrows.h"
#include "engines/pagerank.h"
#include "engines/queryengine.h"
#include "net/fetch.h"

namespace zorvan {

ServiceCheck::ServiceCheck(QObject* parent)
    : QObject(parent), requests_(new RequestSequencer(this)) {
    connect(requests_, &RequestSequencer::idle, this, &ServiceCheck::finished);
}

ServiceCheck::~ServiceCheck() = default;

void ServiceCheck::start(const QString& domain, const QList<Figure>& only) {
    start(domain, rulesForNewRun().rules, only);
}

void ServiceCheck::start(const QString& domain, const RuleSet& rules, const QList<Figure>& only) {
    // As in a query: a host that did not answer is not asked again, and nothing outlives the
    // deadline.
    requests_->reset(CombinedQueryEngine::DefaultDeadlineMs);
    domain_ = domain;
    rules_ = rules;
    rows_.clear();
    // One chain per host, in the order of the figures; QMap keeps the start order stable.
    QMap<QString, QList<ChainStep>> chains;
    for (const FigureInfo& f : figureTable()) {
        if (!only.isEmpty() && !only.contains(f.figure)) continue;
        chains[addressAuthority(expandRuleUrl(rules_[f.figure].url, domain))].append(
            stepFor(int(rows_.size())));
        rows_.append({f.figure, f.key, false, {}});
    }
    if (chains.isEmpty()) {
        QMetaObject::invokeMethod(
            requests_, [this] { Q_EMIT finished(); }, Qt::QueuedConnection);
        return;
    }
    for (auto chain = chains.cbegin(); chain != chains.cend(); ++chain)
        requests_->run(chain.key(), chain.value());
}

ChainStep ServiceCheck::stepFor(int row) {
    return [this, row](const Chain& chain) {
        auto done = [this, row](const ValueResult& result) {
            rows_[row].done = true;
            rows_[row].result = result;
            Q_EMIT rowDone(row);
        };
        const Figure figure = rows_[row].figure;
        if (figure == Figure::PageRank)
            pageRankLookupAsync(chain, rules_[figure], domain_, done);
        else
            runCountRowAsync(chain, rules_[figure], domain_, done);
    };
}

QString oneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '\r':
                out += QStringLiteral("\\r");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '\t':
                out += QStringLiteral("\\t");
                break;
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
