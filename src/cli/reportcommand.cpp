// report --html: history.txt as a static site a site group's watchers can open anywhere.
#include "cli/cli.h"
#include "core/platform.h"
#include "core/services.h"
#include "domains/shards.h"
#include "tools/htmlreport.h"

namespace zorvan::cli {

int runReport(const Invocation& invocation, Console& console) {
    const QString dir = invocation.value(Option::Html);
    if (dir.isEmpty()) {
        console.fail(QStringLiteral("report needs --html DIR"));
        return UsageError;
    }
    HtmlReportOptions options;
    options.today = platform().now().date();
    if (invocation.has(Option::Days)) {
        bool ok = false;
        options.days = invocation.value(Option::Days).toInt(&ok);
        if (!ok || options.days < 1) {
            console.fail(QStringLiteral("--days takes a whole number of days, 1 or more"));
            return UsageError;
        }
    }
    if (invocation.has(Option::List)) {
        const QString path = invocation.value(Option::List);
        const DomainFile listed = readDomainFile(path);
        if (!listed.failure.isEmpty()) {
            console.fail(listed.failure);
            return listed.unreadable ? FileFailed : UsageError;
        }
        for (const ListedDomain& l : listed.entries)
            if (!l.invalid) options.domains.append(l.domain);
        if (options.domains.isEmpty()) {
            console.fail(path + QStringLiteral(" holds no domain"));
            return UsageError;
        }
    }
    HtmlReportFigures figures;
    if (const auto error = writeHtmlReport(historyFilePath(), dir, options, &figures)) {
        console.fail(*error);
        return FileFailed;
    }
    console.err << "zorvan-cli: wrote " << figures.files << " files (" << figures.bytes
                << " bytes) for " << figures.domains << " domains into " << dir << Qt::endl;
    return Ran;
}

}  // namespace zorvan::cli
