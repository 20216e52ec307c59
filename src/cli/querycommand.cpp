// query, batch and history: the combined query of domains, and the records stored for one.
#include <unistd.h>

#include <QEventLoop>

#include "cli/cli.h"
#include "cli/notifycommand.h"
#include "cli/progress.h"
#include "core/localfile.h"
#include "core/platform.h"
#include "core/services.h"
#include "engines/batchrun.h"
#include "engines/queryengine.h"
#include "engines/rules.h"
#include "engines/servicecheck.h"
#include "history/historyfile.h"
#include "history/trends.h"
#include "net/fetch.h"
#include "net/pacer.h"

namespace zorvan::cli {
namespace {

const QList<Format> AllFormats = {Format::Text, Format::Json, Format::Csv};
constexpr int MostJobs = 64;
constexpr int DefaultParallelInterval = 1000;
constexpr int MostHostInterval = 600000;

// Each "X" figure's key -> why it has none.
using MissingFigures = QMap<QString, QString>;

void print(Console& console, Format format, const FigureRow& row) {
    switch (format) {
        case Format::Text:
            console.out << queryText(row) << '\n';
            break;
        case Format::Json:
            console.out << jsonLine(row) << '\n';
            break;
        case Format::Csv:
            console.out << csvLine(csvCells(row));
            break;
    }
    console.out.flush();
}

// The drops of a finished query, in each format's shape.
RowExtra dropsExtra(const QList<FigureDrop>& drops) {
    QStringList json, csv;
    RowExtra extra{QStringLiteral("drops"), QString(), QString(), {}};
    for (const FigureDrop& d : drops) {
        const FigureInfo& f = figureInfo(d.figure);
        json.append(QStringLiteral("{\"figure\": ") + jsonString(f.key) +
                    QStringLiteral(", \"from\": ") + QString::number(d.from) +
                    QStringLiteral(", \"to\": ") + QString::number(d.to) +
                    QStringLiteral(", \"since\": ") + jsonString(d.since) + u'}');
        csv.append(f.key + u' ' + QString::number(d.from) + QStringLiteral("->") +
                   QString::number(d.to) + QStringLiteral(" since ") + d.since);
        extra.textLines.append(QString::fromUtf8("↓ %1 fell %2% since %3 (%4 → %5)")
                                   .arg(f.key, QString::number(d.percent()), d.since,
                                        QString::number(d.from), QString::number(d.to)));
    }
    extra.json = u'[' + json.join(QStringLiteral(", ")) + u']';
    extra.csv = csv.join(QStringLiteral("; "));
    return extra;
}

// --drop-threshold: a percentage above 0 and at most 100 ("20" or "20%").
std::optional<double> dropThreshold(const Invocation& invocation) {
    QString text =
        invocation.value(QStringLiteral("--drop-threshold"), QString::number(DefaultDropThreshold));
    if (text.endsWith(u'%')) text.chop(1);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0 && value <= 100)) return std::nullopt;
    return value;
}

// The figures a query left "X", each with why, in each format's shape.
RowExtra missingExtra(const MissingFigures& missing) {
    QStringList json, csv, text;
    for (auto it = missing.cbegin(); it != missing.cend(); ++it) {
        json.append(jsonString(it.key()) + QStringLiteral(": ") + jsonString(it.value()));
        csv.append(it.key() + u'=' + it.value());
        text.append(it.key() + QStringLiteral(" (") + it.value() + u')');
    }
    RowExtra extra{QStringLiteral("missing"),
                   u'{' + json.join(QStringLiteral(", ")) + u'}',
                   csv.join(QStringLiteral("; ")),
                   {}};
    if (!text.isEmpty())
        extra.textLines.append(QStringLiteral("X: ") + text.join(QStringLiteral(", ")));
    return extra;
}

// What a run prints and saves as each domain ends.
struct DomainReport {
    Console& console;
    Format format;
    double threshold;
    bool save;
    int status = Ran;
    bool dropped = false;
    // Each domain's records as they were before this run saved any of them (a domain named twice,
    // in a run past midnight, is not compared with its own first answer); kept only while the
    // domain is still to come again, so a long list does not hold every domain's records.
    QHash<QString, std::optional<QList<StoredRecord>>> before;
    QHash<QString, int> usesLeft;
    RunCollector* alerts = nullptr;  // with --notify

    void expect(const QStringList& domains) {
        for (const QString& domain : domains) ++usesLeft[domain];
    }
    void domainDone(const CombinedQueryEngine& query, const MissingFigures& missing);
    std::optional<QList<StoredRecord>> recordsBefore(const QString& domain);
};

std::optional<QList<StoredRecord>> DomainReport::recordsBefore(const QString& domain) {
    if (!before.contains(domain))
        before.insert(domain, readStoredRecords(historyFilePath(), domain));
    auto records = before.value(domain);
    if (--usesLeft[domain] <= 0) {
        usesLeft.remove(domain);
        before.remove(domain);
    }
    return records;
}

void DomainReport::domainDone(const CombinedQueryEngine& query, const MissingFigures& missing) {
    const QString& domain = query.domain();
    const FigureValues& values = query.values();
    const QDate today = platform().now().date();
    FigureRow row{domain, shortDate(today), values, false, {}};
    QList<FigureDrop> drops;
    if (const auto records = recordsBefore(domain)) {
        drops = findDrops(row.values, *records, today, threshold);
    } else {
        console.fail(QStringLiteral("cannot read ") + historyFilePath() +
                     QStringLiteral(": no drops compared for ") + domain);
        status = FileFailed;
    }
    dropped = dropped || !drops.isEmpty();
    row.extras.append(dropsExtra(drops));
    row.extras.append(missingExtra(missing));
    bool saved = false;
    if (save) {
        if (const FileError error = SaveHistory(historyFilePath(), domain, row.values, row.date)) {
            console.fail(QStringLiteral("cannot save the record of ") + domain +
                         QStringLiteral(" in ") + historyFilePath() + QStringLiteral(": ") +
                         error->english());
            status = FileFailed;
        } else {
            saved = true;
        }
    }
    if (alerts) alerts->domainDone(domain, values, figureVerdicts(query), drops, saved);
    print(console, format, row);
}

// Runs the domains' queries, jobs at a time, each reported in list order as it and those before
// it are done.
void runDomains(const QStringList& domains, int jobs, DomainReport& report) {
    BatchRun run;
    run.setJobs(jobs);
    run.setDoneWhen(BatchRun::DoneWhen::AllAnswers);
    // Domains side by side are what gets a host to ask for a pause: it is obeyed, never fought. One
    // job keeps today's requests exactly, each answer taken as it comes.
    run.setPatient(jobs > 1);
    Progress progress(report.console.err, ::isatty(STDERR_FILENO) == 1, int(domains.size()));
    QObject::connect(&run, &BatchRun::domainStarted, [&](int index, const QString& domain) {
        progress.started(index, domain, run.inFlight() + 1);
    });
    QObject::connect(
        &run, &BatchRun::waiting, [&](const QString& host, double seconds, const QString& reason) {
            progress.clear();
            report.console.err << "zorvan-cli: " << oneLine(host)
                               << " asked to wait: " << QString::number(seconds, 'f', 1) << " s ("
                               << oneLine(reason) << ')' << Qt::endl;
        });
    QObject::connect(&run, &BatchRun::domainDone, [&](int, const CombinedQueryEngine* query) {
        const MissingFigures missing = missingReasons(*query);
        progress.clear();
        report.domainDone(*query, missing);
        progress.finished(int(missing.values().count(verdictKey(Verdict::Blocked))),
                          run.inFlight());
    });
    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::quit);
    report.expect(domains);
    run.start(domains);
    if (run.inFlight() > 0) loop.exec();
    progress.clear();
}

// A whole number option within [least, most]; nothing when it is given otherwise.
std::optional<int> numberOption(const Invocation& invocation, const QString& name, int fallback,
                                int least, int most) {
    if (!invocation.has(name)) return fallback;
    bool ok = false;
    const int value = invocation.value(name).toInt(&ok);
    if (!ok || value < least || value > most) return std::nullopt;
    return value;
}

struct RunOptions {
    Format format;
    double threshold;
    int jobs;
    int hostInterval;
};

std::optional<RunOptions> runOptions(const Invocation& invocation, Console& console) {
    const auto format = formatOption(invocation, AllFormats);
    const auto threshold = dropThreshold(invocation);
    const auto jobs = numberOption(invocation, QStringLiteral("--jobs"), 1, 1, MostJobs);
    const auto interval =
        numberOption(invocation, QStringLiteral("--host-interval"),
                     jobs.value_or(1) > 1 ? DefaultParallelInterval : 0, 0, MostHostInterval);
    const QString why =
        !format      ? QStringLiteral("--format takes text, json or csv")
        : !threshold ? QStringLiteral("--drop-threshold takes a percentage above 0 and at most 100")
        : !jobs      ? QStringLiteral("--jobs takes a whole number from 1 to %1").arg(MostJobs)
        : !interval  ? QStringLiteral("--host-interval takes milliseconds from 0 to %1")
                          .arg(MostHostInterval)
        : invocation.has(QStringLiteral("--fail-on-notify")) &&
                !invocation.has(QStringLiteral("--notify"))
            ? QStringLiteral("--fail-on-notify goes with --notify")
            : QString();
    if (!why.isEmpty()) {
        console.fail(why);
        return std::nullopt;
    }
    return RunOptions{*format, *threshold, *jobs, *interval};
}

// The combined query of each domain, in list order; skipped: the domains a resumed run passed over.
int queryDomains(const QStringList& domains, const Invocation& invocation, Console& console,
                 int skipped = 0) {
    const auto options = runOptions(invocation, console);
    if (!options) return UsageError;
    for (const QString& domain : domains)
        if (refuseBadDomain(domain, console)) return UsageError;
    applyHostIntervals(options->hostInterval);
    if (options->format == Format::Csv)
        console.out << csvLine(csvColumns({QStringLiteral("drops"), QStringLiteral("missing")}));
    auto alerts = runAlerts(invocation.has(QStringLiteral("--notify")), console);
    if (alerts) alerts->collector.addSkipped(skipped);
    DomainReport report{console,
                        options->format,
                        options->threshold,
                        invocation.has(QStringLiteral("--save")),
                        Ran,
                        false,
                        {},
                        {},
                        alerts ? &alerts->collector : nullptr};
    runDomains(domains, options->jobs, report);
    const bool told = !alerts || sendRunAlerts(*alerts, console);
    // A file that failed says more than a drop, and a drop more than an alert that missed a target.
    if (report.status != Ran) return report.status;
    if (report.dropped && invocation.has(QStringLiteral("--fail-on-drop"))) return DropFound;
    return told || !invocation.has(QStringLiteral("--fail-on-notify")) ? Ran : NotifyFailed;
}

// --resume: the domains without a record of today in history.txt, read once; nothing when the
// file cannot be read.
std::optional<QStringList> domainsNotSavedToday(const QStringList& domains, Console& console) {
    QByteArray bytes;
    if (readWholeFile(historyFilePath(), &bytes) == FileRead::Unreadable) {
        console.fail(QStringLiteral("cannot read ") + historyFilePath() +
                     QStringLiteral(" to resume from"));
        return std::nullopt;
    }
    const QList<bool> saved =
        domainsWithRecordOn(bytes, domains, shortDate(platform().now().date()));
    QStringList rest;
    for (qsizetype i = 0; i < domains.size(); ++i)
        if (!saved[i]) rest.append(domains[i]);
    console.err << "zorvan-cli: resuming: skipped " << (domains.size() - rest.size()) << " of "
                << domains.size() << " domains already saved today" << Qt::endl;
    return rest;
}

}  // namespace

int runQuery(const Invocation& invocation, Console& console) {
    return queryDomains(invocation.arguments, invocation, console);
}

int runBatch(const Invocation& invocation, Console& console) {
    if (invocation.has(QStringLiteral("--resume")) && !invocation.has(QStringLiteral("--save"))) {
        console.fail(QStringLiteral(
            "--resume needs --save: a run that saves nothing leaves nothing to resume from"));
        return UsageError;
    }
    BatchDomains batch;
    if (const int status = batchDomainList(invocation, console, &batch); status != Ran)
        return status;
    std::optional<QStringList> rest = batch.domains;
    if (invocation.has(QStringLiteral("--resume")) &&
        !(rest = domainsNotSavedToday(batch.domains, console)))
        return FileFailed;
    const int status =
        queryDomains(*rest, invocation, console, int(batch.domains.size() - rest->size()));
    // The rest ran; a refused entry still makes the run's end an input error, unless a file failed.
    return batch.refused && status != FileFailed ? UsageError : status;
}

int runHistory(const Invocation& invocation, Console& console) {
    const auto format = formatOption(invocation, AllFormats);
    if (!format) {
        console.fail(QStringLiteral("--format takes text, json or csv"));
        return UsageError;
    }
    const QString domain = invocation.arguments.first();
    if (refuseBadDomain(domain, console)) return UsageError;
    const auto records = readRecordsOf(domain, console);
    if (!records) return FileFailed;
    QList<FigureRow> rows;
    for (const StoredRecord& record : *records)
        rows.append({domain, record.date, record.values, true, {}});
    switch (*format) {
        case Format::Text:
            console.out << recordsText(domain, rows);
            break;
        case Format::Json:
            for (const FigureRow& row : rows) console.out << jsonLine(row) << '\n';
            break;
        case Format::Csv:
            console.out << csvLine(csvColumns());
            for (const FigureRow& row : rows) console.out << csvLine(csvCells(row));
            break;
    }
    return Ran;
}

}  // namespace zorvan::cli
