// query, batch and history: the combined query of domains, and the records stored for one.
#include <unistd.h>

#include <QScopeGuard>

#include "cli/cli.h"
#include "cli/notifycommand.h"
#include "cli/progress.h"
#include "core/localfile.h"
#include "core/platform.h"
#include "core/services.h"
#include "domains/shards.h"
#include "engines/batchrun.h"
#include "engines/queryengine.h"
#include "engines/rules.h"
#include "engines/servicecheck.h"
#include "history/historyfile.h"
#include "history/historysaver.h"
#include "history/runhistory.h"
#include "history/trends.h"
#include "net/fetch.h"
#include "net/pacer.h"

namespace zorvan::cli {
namespace {

constexpr int MostJobs = 64;
constexpr int DefaultParallelInterval = 1000;
constexpr int MostHostInterval = 600000;

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
        json.append(JsonObject()
                        .text(QStringLiteral("figure"), f.key)
                        .number(QStringLiteral("from"), d.from)
                        .number(QStringLiteral("to"), d.to)
                        .text(QStringLiteral("since"), d.since)
                        .line());
        csv.append(f.key + u' ' + QString::number(d.from) + QStringLiteral("->") +
                   QString::number(d.to) + QStringLiteral(" since ") + d.since);
        extra.textLines.append(QString::fromUtf8("↓ %1 fell %2% since %3 (%4 → %5)")
                                   .arg(f.key, QString::number(d.percent()), d.since,
                                        QString::number(d.from), QString::number(d.to)));
    }
    extra.json = jsonArray(json);
    extra.csv = csv.join(QStringLiteral("; "));
    return extra;
}

// --drop-threshold: a percentage above 0 and at most 100 ("20" or "20%").
std::optional<double> dropThreshold(const Invocation& invocation) {
    QString text = invocation.value(Option::DropThreshold, QString::number(DefaultDropThreshold));
    if (text.endsWith(u'%')) text.chop(1);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0 && value <= 100)) return std::nullopt;
    return value;
}

// The figures a query left "X", each with why, in each format's shape.
RowExtra missingExtra(const QMap<Figure, Verdict>& missing) {
    // By key, as a reader looks a figure up.
    QMap<QString, QString> byKey;
    for (auto it = missing.cbegin(); it != missing.cend(); ++it)
        byKey.insert(figureInfo(it.key()).key, verdictKey(it.value()));
    JsonObject json;
    QStringList csv, text;
    for (auto it = byKey.cbegin(); it != byKey.cend(); ++it) {
        json.text(it.key(), it.value());
        csv.append(it.key() + u'=' + it.value());
        text.append(it.key() + QStringLiteral(" (") + it.value() + u')');
    }
    RowExtra extra{QStringLiteral("missing"), json.line(), csv.join(QStringLiteral("; ")), {}};
    if (!text.isEmpty())
        extra.textLines.append(QStringLiteral("X: ") + text.join(QStringLiteral(", ")));
    return extra;
}

// What a finished query leaves for its report.
struct FinishedDomain {
    QString domain;
    FigureValues values;
    FigureVerdicts verdicts;
};

// What a run prints and saves as each domain ends.
struct DomainReport {
    Console& console;
    Format format;
    double threshold;
    // The records of the run's domains as the run started (a domain named twice, in a run past
    // midnight, is not compared with its own first answer); none when the file cannot be read.
    // Unset while the run's reading of the file goes on beside its first requests.
    std::optional<std::optional<RunHistory>> history;
    HistorySaver* saver = nullptr;  // with --save
    int status = Ran;
    bool dropped = false;
    RunCollector* alerts = nullptr;  // with --notify
    // Domains finished before the reading ended, in list order.
    QList<FinishedDomain> waiting;

    void domainDone(FinishedDomain done);
    void historyRead(const std::optional<RunHistory>& read);
    void groupDone(const QStringList& domains, const FileError& problem);

  private:
    void report(const FinishedDomain& done);
};

void DomainReport::groupDone(const QStringList& domains, const FileError& problem) {
    if (problem) {
        for (const QString& domain : domains)
            console.fail(QStringLiteral("cannot save the record of ") + domain +
                         QStringLiteral(" in ") + historyFilePath() + QStringLiteral(": ") +
                         problem->english());
        status = FileFailed;
    }
    if (alerts) alerts->groupDone(domains.size(), !problem);
}

void DomainReport::domainDone(FinishedDomain done) {
    if (history)
        report(done);
    else
        waiting.append(std::move(done));
}

void DomainReport::historyRead(const std::optional<RunHistory>& read) {
    history = read;
    for (const FinishedDomain& done : std::as_const(waiting)) report(done);
    waiting.clear();
}

void DomainReport::report(const FinishedDomain& done) {
    const QString& domain = done.domain;
    const QDate today = platform().now().date();
    FigureRow row{domain, shortDate(today), done.values, false, {}};
    QList<FigureDrop> drops;
    if (*history) {
        drops = (*history)->drops(domain, row.values, today, threshold);
    } else {
        console.fail(QStringLiteral("cannot read ") + historyFilePath() +
                     QStringLiteral(": no drops compared for ") + domain);
        status = FileFailed;
    }
    dropped = dropped || !drops.isEmpty();
    row.extras.append(dropsExtra(drops));
    row.extras.append(missingExtra(missingReasons(done.values, done.verdicts)));
    if (saver) {
        // Written with the records finished about the same time; the alerts learn whether it was.
        saver->save(domain, row.values, today);
        if (alerts) alerts->domainQueued(domain, done.values, done.verdicts, drops);
    } else if (alerts) {
        alerts->domainDone(domain, done.values, done.verdicts, drops, false);
    }
    print(console, format, row);
}

// Runs the domains' queries, jobs at a time, each reported in list order as it and those before
// it are done. Without the run's history yet, the file is read beside the first requests: on a
// large file that reading takes as long as several queries.
void runDomains(const QStringList& domains, int jobs, DomainReport& report) {
    BatchRun run;
    run.setJobs(jobs);
    run.setDoneWhen(BatchRun::DoneWhen::AllAnswers);
    run.setKeepsRecords(false);
    // A service that asks for a pause is obeyed, never fought, at one job too; one that keeps
    // refusing is given up for the run rather than holding every domain.
    run.setPatient(true);
    Progress progress(report.console.err, ::isatty(STDERR_FILENO) == 1, int(domains.size()));
    HostPacer::global().setGivenUpHandler([&](const QString& host) {
        progress.clear();
        QString shown = host;
        for (const auto& port : {QStringLiteral(":80"), QStringLiteral(":443")})
            if (shown.endsWith(port)) shown.chop(port.size());
        report.console.err << "zorvan-cli: " << oneLine(shown)
                           << " refuses: not asked again in this run" << Qt::endl;
    });
    const auto forget = qScopeGuard([] { HostPacer::global().setGivenUpHandler({}); });
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
        const int blocked = int(missingReasons(*query).values().count(Verdict::Blocked));
        progress.clear();
        report.domainDone({query->domain(), query->values(), figureVerdicts(*query)});
        progress.finished(blocked, run.inFlight());
    });
    runUntil(
        [&](QObject* context, const std::function<void()>& wake) {
            QObject::connect(&run, &BatchRun::finished, context, wake);
            if (!report.history)
                RunHistory::readAsync(
                    historyFilePath(), domains, platform().now().date(), context,
                    [&report, wake](const std::optional<RunHistory>& read, const FileProblem&) {
                        report.historyRead(read);
                        wake();
                    });
            run.start(domains);
        },
        [&] { return run.inFlight() == 0 && report.history; });
    progress.clear();
}

// A whole number option within [least, most]; nothing when it is given otherwise.
std::optional<int> numberOption(const Invocation& invocation, Option name, int fallback, int least,
                                int most) {
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

std::optional<RunOptions> runOptions(const Invocation& invocation, QString* why) {
    const auto format = formatOption(invocation, why);
    const auto threshold = dropThreshold(invocation);
    const auto jobs = numberOption(invocation, Option::Jobs, 1, 1, MostJobs);
    const auto interval =
        numberOption(invocation, Option::HostInterval,
                     jobs.value_or(1) > 1 ? DefaultParallelInterval : 0, 0, MostHostInterval);
    if (format)
        *why = !threshold
                   ? QStringLiteral("--drop-threshold takes a percentage above 0 and at most 100")
               : !jobs ? QStringLiteral("--jobs takes a whole number from 1 to %1").arg(MostJobs)
               : !interval ? QStringLiteral("--host-interval takes milliseconds from 0 to %1")
                                 .arg(MostHostInterval)
               : invocation.has(Option::FailOnNotify) && !invocation.has(Option::Notify)
                   ? QStringLiteral("--fail-on-notify goes with --notify")
                   : QString();
    if (!why->isEmpty()) return std::nullopt;
    return RunOptions{*format, *threshold, *jobs, *interval};
}

// history.txt read once for a run's domains, from today on.
std::optional<RunHistory> readRunHistory(const QStringList& domains) {
    return RunHistory::read(historyFilePath(), domains, platform().now().date());
}

// The combined query of each domain, in list order; skipped: the domains a resumed run passed
// over; history: the run's one reading of the file, when the run has made it already.
int queryDomains(const QStringList& domains, const Invocation& invocation, Console& console,
                 int skipped = 0, std::optional<std::optional<RunHistory>> history = {}) {
    QString why;
    const auto options = runOptions(invocation, &why);
    if (!options) {
        console.fail(why);
        return UsageError;
    }
    for (const QString& domain : domains)
        if (refuseBadDomain(domain, console)) return UsageError;
    applyHostIntervals(options->hostInterval);
    if (options->format == Format::Csv)
        console.out << csvLine(csvColumns({QStringLiteral("drops"), QStringLiteral("missing")}));
    auto alerts = runAlerts(invocation.has(Option::Notify), console);
    if (alerts) alerts->collector.addSkipped(skipped);
    std::optional<HistorySaver> saver;
    if (invocation.has(Option::Save)) {
        saver.emplace(historyFilePath());
        // An interrupted run still stores every domain it finished.
        saver->finishOnTermination();
    }
    DomainReport report{console,
                        options->format,
                        options->threshold,
                        std::move(history),
                        saver ? &*saver : nullptr,
                        Ran,
                        false,
                        alerts ? &alerts->collector : nullptr,
                        {}};
    if (saver)
        QObject::connect(&*saver, &HistorySaver::groupDone,
                         [&](const QStringList& saved, const FileError& problem) {
                             report.groupDone(saved, problem);
                         });
    runDomains(domains, options->jobs, report);
    if (saver) saver->finish();
    const bool told = !alerts || sendRunAlerts(*alerts, console);
    // A file that failed says more than a drop, and a drop more than an alert that missed a target.
    if (report.status != Ran) return report.status;
    if (report.dropped && invocation.has(Option::FailOnDrop)) return DropFound;
    return told || !invocation.has(Option::FailOnNotify) ? Ran : NotifyFailed;
}

// --resume: the domains without a record of today in the run's reading of history.txt; nothing
// when the file cannot be read.
std::optional<QStringList> domainsNotSavedToday(const QStringList& domains,
                                                const std::optional<RunHistory>& history,
                                                Console& console) {
    if (!history) {
        console.fail(QStringLiteral("cannot read ") + historyFilePath() +
                     QStringLiteral(" to resume from"));
        return std::nullopt;
    }
    const QString today = shortDate(platform().now().date());
    QStringList rest;
    for (const QString& domain : domains)
        if (!history->hasRecordOn(domain, today)) rest.append(domain);
    console.err << "zorvan-cli: resuming: skipped " << (domains.size() - rest.size()) << " of "
                << domains.size() << " domains already saved today" << Qt::endl;
    return rest;
}

}  // namespace

int runQuery(const Invocation& invocation, Console& console) {
    return queryDomains(invocation.arguments, invocation, console);
}

std::optional<QString> refusedBatchOptions(const Invocation& invocation) {
    QString why;
    if (invocation.has(Option::Resume) && !invocation.has(Option::Save))
        return QStringLiteral(
            "--resume needs --save: a run that saves nothing leaves nothing to resume from");
    if (!runOptions(invocation, &why)) return why;
    if (invocation.has(Option::Shard) && !parseShard(invocation.value(Option::Shard)))
        return ShardUsage;
    return std::nullopt;
}

int runBatch(const Invocation& invocation, Console& console) {
    if (invocation.has(Option::Resume) && !invocation.has(Option::Save)) {
        console.fail(*refusedBatchOptions(invocation));
        return UsageError;
    }
    BatchDomains batch;
    if (const int status = batchDomainList(invocation, console, &batch); status != Ran)
        return status;
    std::optional<QStringList> rest = batch.domains;
    // --resume needs the reading before the run; otherwise it goes on beside the first requests.
    std::optional<std::optional<RunHistory>> history;
    if (invocation.has(Option::Resume)) {
        history = readRunHistory(batch.domains);
        if (!(rest = domainsNotSavedToday(batch.domains, *history, console))) return FileFailed;
    }
    const int status = queryDomains(*rest, invocation, console,
                                    int(batch.domains.size() - rest->size()), std::move(history));
    // The rest ran; a refused entry still makes the run's end an input error, unless a file failed.
    return batch.refused && status != FileFailed ? UsageError : status;
}

int runHistory(const Invocation& invocation, Console& console) {
    QString why;
    const auto format = formatOption(invocation, &why);
    if (!format) {
        console.fail(why);
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
