// check: every service rule once for a domain, with what each request got and why a value is "X".
#include "cli/cli.h"
#include "engines/servicecheck.h"

namespace zorvan::cli {
namespace {

QString jsonLine(const CheckRow& row) {
    const ValueResult& r = row.result;
    return JsonObject()
        .text(QStringLiteral("id"), row.id)
        .text(QStringLiteral("url"), r.url)
        .text(QStringLiteral("final_url"), r.finalUrl)
        .number(QStringLiteral("status"), r.status)
        .number(QStringLiteral("ms"), r.ms)
        .number(QStringLiteral("bytes"), r.bytes)
        .text(QStringLiteral("charset"), r.charset)
        .text(QStringLiteral("verdict"), verdictKey(r.verdict))
        .text(QStringLiteral("value"), r.text)
        .line();
}

QString textTable(const QList<CheckRow>& rows) {
    QList<QStringList> table = {
        {QStringLiteral("id"), QStringLiteral("verdict"), QStringLiteral("status"),
         QStringLiteral("ms"), QStringLiteral("bytes"), QStringLiteral("charset"),
         QStringLiteral("value"), QStringLiteral("url"), QStringLiteral("final_url")}};
    for (const CheckRow& row : rows) {
        const ValueResult& r = row.result;
        table.append({row.id, verdictKey(r.verdict), QString::number(r.status),
                      QString::number(r.ms), QString::number(r.bytes),
                      r.charset.isEmpty() ? QStringLiteral("-") : r.charset, r.text, r.url,
                      r.finalUrl == r.url ? QStringLiteral("-") : r.finalUrl});
    }
    return alignedTable(table);
}

}  // namespace

int runCheck(const Invocation& invocation, Console& console) {
    QString why;
    const auto format = formatOption(invocation, &why);
    if (!format) {
        console.fail(why);
        return UsageError;
    }
    const QString domain = invocation.arguments.first();
    if (refuseBadDomain(domain, console)) return UsageError;
    ServiceCheck check;
    runUntil(
        [&](QObject* context, const std::function<void()>& wake) {
            QObject::connect(&check, &ServiceCheck::finished, context, wake);
            check.start(domain);
        },
        [&] { return check.isFinished(); });
    if (*format == Format::Json) {
        for (const CheckRow& row : check.rows()) console.out << jsonLine(row) << '\n';
    } else {
        console.out << textTable(check.rows());
    }
    return Ran;
}

}  // namespace zorvan::cli
