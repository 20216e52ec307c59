#include "notify/runcollector.h"

namespace zorvan {

void RunCollector::domainDone(const QString& domain, const FigureValues& values,
                              const FigureVerdicts& verdicts, const QList<FigureDrop>& drops,
                              bool saved) {
    ++summary_.domains;
    if (saved) ++summary_.saved;
    for (const FigureInfo& f : figureTable()) {
        const QString& text = values[f.figure];
        if (text == Pending) continue;
        ++summary_.figures;
        ++summary_.asked[f.figure];
        if (text != NotFoundMark) continue;
        const Verdict verdict = verdicts[size_t(f.figure)];
        if (verdict == Verdict::Blocked) ++summary_.blocked;
        summary_.addMissing(f.figure, verdict);
    }
    if (!drops.isEmpty()) summary_.drops.append({domain, drops});
}

void RunCollector::domainQueued(const QString& domain, const FigureValues& values,
                                const FigureVerdicts& verdicts, const QList<FigureDrop>& drops) {
    queued_.append({domain, values, verdicts, drops});
}

void RunCollector::groupDone(qsizetype count, bool saved) {
    for (; count > 0 && !queued_.isEmpty(); --count) {
        const Queued q = queued_.takeFirst();
        domainDone(q.domain, q.values, q.verdicts, q.drops, saved);
    }
}

RunSummary RunCollector::finish(const QDateTime& end) const {
    RunSummary summary = summary_;
    summary.end = end;
    return summary;
}

}  // namespace zorvan
