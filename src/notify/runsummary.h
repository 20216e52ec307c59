#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "history/trends.h"
#include "net/valuefetch.h"
#include "vocab/figures.h"

namespace zorvan {

// The counts of one domain that dropped in a run.
struct DomainDrops {
    QString domain;
    QList<FigureDrop> drops;
    int worstPercent() const;
};

// What a run of many domains found, as far as alerts need it.
struct RunSummary {
    QDateTime start;
    QDateTime end;
    int domains = 0;
    int saved = 0;
    int skipped = 0;  // already done today (a resumed run)
    int blocked = 0;  // figures lost to a block
    int figures = 0;  // figures asked in the run
    QList<DomainDrops> drops;
    // figure -> why it was "X" -> how many domains; words only where a message is written.
    QMap<Figure, QMap<Verdict, int>> missing;
    // figure -> how many domains it was asked for
    QMap<Figure, int> asked;
    QString reportUrl;  // linked from every alert when set

    void addMissing(Figure figure, Verdict reason) { ++missing[figure][reason]; }
};

// A service whose figures were blocked, went unanswered or were left unasked for want of a proxy
// in more than a tenth of its own figures of the run: a ranking service blocked on every domain
// is one figure of eighteen, yet all of its own.
struct ServiceTrouble {
    QString service;  // "baidu", "alexa_rank"
    int blocked = 0;
    int silent = 0;
    int unasked = 0;  // every proxy of the list had failed
    int asked = 0;    // the service's figures in the run
};
QList<ServiceTrouble> troubledServices(const RunSummary& summary);

enum class AlertKind { Drop, Block, Test };

// One alert, in words for people; each platform wraps it in its own body.
struct Alert {
    AlertKind kind;
    QString title;
    QStringList head;          // lines before the domains
    QStringList domainLines;   // one per domain, most severe first
    int domainsNotListed = 0;  // beyond the list's cap
    // Markdown or plain text of at most maxBytes UTF-8 bytes: domains are left off from the end
    // (and counted in "and N more") until it fits.
    QString text(bool markdown, qsizetype maxBytes) const;
};

inline constexpr int MaxListedDomains = 20;

// What a run sends: a drop message when a count dropped, a block message when a service was
// blocked or silent for more than a tenth of the run's figures, nothing otherwise. A figure lost
// to a block is "X" and so never a drop: the two are decided apart.
QList<Alert> alertsForRun(const RunSummary& summary);

Alert testAlert(const QDateTime& now);

}  // namespace zorvan
