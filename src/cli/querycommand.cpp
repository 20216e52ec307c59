// query, batch and history: the combined query of domains, and the records stored for one.
#include <QEventLoop>

#include "cli/cli.h"
#include "cli/notifycommand.h"
#include "engines/batchrun.h"
#include "engines/queryengine.h"
#include "engines/servicecheck.h"
#include "fetch/platform.h"
#include "fetch/services.h"
#include "history/historyfile.h"
#include "history/trends.h"

namespace zorvan::cli {
namespace {

const QList<Format> AllFormats = {Format::Text, Format::Json, Format::Csv};

void print(Console& console, Format format, const FigureRow& row) {
    switch (format) {
        case Format::Text: console.out << queryText(row) << '\n'; break;
        case Format::Json: console.out << jsonLine(row) << '\n'; break;
        case Format::Csv: console.out << csvLine(csvCells(row)); break;
    }
    console.out.flush();
}

// The drops of a finished query, in each format's shape.
RowExtra dropsExtra(const QList<FigureDrop>& drops) {
    QStringList json, csv;
    RowExtra extra{QStringLiteral("drops"), QString(), QString(), {}};
    for (const FigureDrop& d : drops) {
        const FigureInfo& f = figureInfo(d.figure);
        json.append(QStringLiteral("{\"figure\": ") + jsonString(f.key) + QStringLiteral(", \"from\": ") +
                    QString::number(d.from) + QStringLiteral(", \"to\": ") + QString::number(d.to) +
                    QStringLiteral(", \"since\": ") + jsonString(d.since) + u'}');
        csv.append(f.key + u' ' + QString::number(d.from) + QStringLiteral("->") + QString::number(d.to) +
                   QStringLiteral(" since ") + d.since);
        extra.textLines.append(QString::fromUtf8("↓ %1 fell %2% since %3 (%4 → %5)")
                                   .arg(f.key, QString::number(d.percent()), d.since, QString::number(d.from),
                                        QString::number(d.to)));
    }
    extra.json = u'[' + json.join(QStringLiteral(", ")) + u']';
    extra.csv = csv.join(QStringLiteral("; "));
    return extra;
}

// --drop-threshold: a percentage above 0 and at most 100 ("20" or "20%").
std::optional<double> dropThreshold(const Invocation& invocation) {
    QString text = invocation.value(QStringLiteral("--drop-threshold"), QString::number(DefaultDropThreshold));
    if (text.endsWith(u'%')) text.chop(1);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0 && value <= 100)) return std::nullopt;
    return value;
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
    // in a run past midnight, is not compared with its own first answer).
    QHash<QString, std::optional<QList<StoredRecord>>> before;
    RunCollector* alerts = nullptr;  // with --notify

    void domainDone(const QString& domain, const FigureValues& values, const FigureVerdicts& verdicts);
};

void DomainReport::domainDone(const QString& domain, const FigureValues& values, const FigureVerdicts& verdicts) {
    const QDate today = platform().now().date();
    FigureRow row{domain, shortDate(today), values, false, {}};
    if (!before.contains(domain)) before.insert(domain, readStoredRecords(historyFilePath(), domain));
    QList<FigureDrop> drops;
    if (const auto& records = before[domain]) {
        drops = findDrops(row.values, *records, today, threshold);
    } else {
        console.fail(QStringLiteral("cannot read ") + historyFilePath() + QStringLiteral(": no drops compared for ") +
                     domain);
        status = FileFailed;
    }
    dropped = dropped || !drops.isEmpty();
    row.extras.append(dropsExtra(drops));
    bool saved = false;
    if (save) {
        if (const FileError error = saveHistoryTo(historyFilePath(), domain, row.values, row.date)) {
            console.fail(QStringLiteral("cannot save the record of ") + domain + QStringLiteral(" in ") +
                         historyFilePath() + QStringLiteral(": ") + error->english());
            status = FileFailed;
        } else {
            saved = true;
        }
    }
    if (alerts) alerts->domainDone(domain, values, verdicts, drops, saved);
    print(console, format, row);
}

// Walks the domains with every answer of each query in, each printed as it ends.
void walkDomains(const QStringList& domains, DomainReport& report) {
    BatchRun run;
    run.setDoneWhen(BatchRun::DoneWhen::AllAnswers);
    QObject::connect(&run, &BatchRun::domainStarted, [&](int index, const QString& domain) {
        if (domains.size() > 1)
            report.console.err << '[' << (index + 1) << '/' << domains.size() << "] " << oneLine(domain) << Qt::endl;
    });
    QObject::connect(&run, &BatchRun::domainDone, [&](int, const CombinedQueryEngine* query) {
        report.domainDone(query->domain(), query->values(), figureVerdicts(*query));
    });
    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::quit);
    run.start(domains);
    if (run.isActive()) loop.exec();
}

// The combined query of each domain in turn.
int queryDomains(const QStringList& domains, const Invocation& invocation, Console& console) {
    const auto format = formatOption(invocation, AllFormats);
    if (!format) {
        console.fail(QStringLiteral("--format takes text, json or csv"));
        return UsageError;
    }
    for (const QString& domain : domains)
        if (refuseBadDomain(domain, console)) return UsageError;
    const auto threshold = dropThreshold(invocation);
    if (!threshold) {
        console.fail(QStringLiteral("--drop-threshold takes a percentage above 0 and at most 100"));
        return UsageError;
    }
    if (invocation.has(QStringLiteral("--fail-on-notify")) && !invocation.has(QStringLiteral("--notify"))) {
        console.fail(QStringLiteral("--fail-on-notify goes with --notify"));
        return UsageError;
    }
    if (*format == Format::Csv) console.out << csvLine(csvColumns({QStringLiteral("drops")}));
    auto alerts = runAlerts(invocation.has(QStringLiteral("--notify")), console);
    DomainReport report{console, *format, *threshold, invocation.has(QStringLiteral("--save")), Ran, false, {},
                        alerts ? &alerts->collector : nullptr};
    walkDomains(domains, report);
    const bool told = !alerts || sendRunAlerts(*alerts, console);
    // A file that failed says more than a drop, and a drop more than an alert that missed a target.
    if (report.status != Ran) return report.status;
    if (report.dropped && invocation.has(QStringLiteral("--fail-on-drop"))) return DropFound;
    return told || !invocation.has(QStringLiteral("--fail-on-notify")) ? Ran : NotifyFailed;
}

}  // namespace

int runQuery(const Invocation& invocation, Console& console) {
    return queryDomains(invocation.arguments, invocation, console);
}

int runBatch(const Invocation& invocation, Console& console) {
    BatchDomains batch;
    if (const int status = batchDomainList(invocation, console, &batch); status != Ran)
        return status;
    const int status = queryDomains(batch.domains, invocation, console);
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
    for (const StoredRecord& record : *records) rows.append({domain, record.date, record.values, true, {}});
    switch (*format) {
        case Format::Text: console.out << recordsText(domain, rows); break;
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
