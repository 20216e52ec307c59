#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>

#include "net/valuefetch.h"
#include "notify/runsummary.h"
#include "vocab/figures.h"

namespace zorvan {

// Why each figure of a query is what it is, kept apart from the engine so that a run may hold
// it until the domain's turn to be reported comes (the engine's figureVerdicts gives them).
using FigureVerdicts = std::array<Verdict, FigureCount>;

// Gathers what a run's alerts need, one domain at a time as each ends; the command and the
// window's batch mode feed it alike, so both send the same messages for the same run.
class RunCollector {
  public:
    explicit RunCollector(const QDateTime& start) { summary_.start = start; }

    // A domain is done: its figures ("..." for one never answered, which was not asked as far
    // as the run can tell), why each is what it is, the counts that dropped and whether its
    // record was saved.
    void domainDone(const QString& domain, const FigureValues& values,
                    const FigureVerdicts& verdicts, const QList<FigureDrop>& drops, bool saved);
    // The same for a domain whose record is queued for saving: held until groupDone tells
    // whether it was written, so that an alert never counts a record the disk refused.
    void domainQueued(const QString& domain, const FigureValues& values,
                      const FigureVerdicts& verdicts, const QList<FigureDrop>& drops);
    // The next count queued domains' records were written together (saved) or not at all.
    void groupDone(qsizetype count, bool saved);
    // Domains a resumed run passed over because they were already done today.
    void addSkipped(int count) { summary_.skipped += count; }

    RunSummary finish(const QDateTime& end) const;

  private:
    struct Queued {
        QString domain;
        FigureValues values;
        FigureVerdicts verdicts;
        QList<FigureDrop> drops;
    };
    RunSummary summary_;
    QList<Queued> queued_;
};

}  // namespace zorvan
