// chart: a domain's stored counts drawn to a PNG or SVG file, without a display.
#include "chart/trendchart.h"
#include "cli/cli.h"
#include "core/localfile.h"
#include "core/services.h"
#include "history/historyfile.h"
#include "history/trends.h"

namespace zorvan::cli {

int runChart(const Invocation& invocation, Console& console) {
    const QString output = invocation.value(Option::Output);
    if (output.isEmpty()) {
        console.fail(QStringLiteral("chart needs --output FILE (.png or .svg)"));
        return UsageError;
    }
    const auto format = chartFormatOf(output);
    if (!format) {
        console.fail(QStringLiteral("--output must name a .png or .svg file: ") + output);
        return UsageError;
    }
    if (*format == ChartFormat::Svg && !CanWriteSvg) {
        console.fail(QStringLiteral("this build cannot write SVG (Qt Svg is not available for "
                                    "Windows); a .png file works: ") +
                     output);
        return UsageError;
    }
    const auto kind = trendKindByKey(invocation.value(Option::Kind, QStringLiteral("indexed")));
    if (!kind) {
        console.fail(QStringLiteral("--kind takes indexed or backlinks"));
        return UsageError;
    }
    const QString domain = invocation.arguments.first();
    if (refuseBadDomain(domain, console)) return UsageError;
    const auto records = readRecordsOf(domain, console);
    if (!records) return FileFailed;
    const TrendData data = trendData(domain, *records, *kind);
    // Nothing to draw is an error, so that a typing mistake in the domain never leaves an empty
    // picture behind for a page or a mail to show.
    if (data.dates.isEmpty()) {
        console.fail((records->isEmpty() ? QStringLiteral("no records of ")
                                         : QStringLiteral("no dated records of ")) +
                     domain + QStringLiteral(" in ") + historyFilePath());
        return UsageError;
    }
    const QByteArray bytes = renderTrendChart(data, *format, DefaultChartFileSize);
    if (bytes.isEmpty()) {
        console.fail(QStringLiteral("cannot draw the chart of ") + domain);
        return FileFailed;
    }
    QString error;
    if (!writeRegularFile(output, bytes, &error)) {
        console.fail(QStringLiteral("cannot write ") + output + QStringLiteral(": ") + error);
        return FileFailed;
    }
    return Ran;
}

}  // namespace zorvan::cli
