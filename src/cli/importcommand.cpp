// import: results printed as JSON Lines on any machine, stored as the records --save would have
// written.
#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "cli/cli.h"
#include "core/localfile.h"
#include "core/platform.h"
#include "core/services.h"
#include "engines/servicecheck.h"

namespace zorvan::cli {
namespace {

// A member holding a string, or why not.
std::optional<QString> stringMember(const QJsonObject& object, const QString& key, QString* why) {
    const QJsonValue value = object.value(key);
    if (value.isString()) return value.toString();
    *why = (value.isUndefined() ? QStringLiteral("no \"") : QStringLiteral("no text in \"")) + key +
           u'"';
    return std::nullopt;
}

// The figures history.txt keeps, from the "indexed" and "backlinks" objects and "alexa_rank".
bool readStoredFigures(const QJsonObject& object, FigureValues* values, QString* why) {
    for (const FigureInfo& f : figureTable()) {
        if (f.historyPlace < 0) continue;
        const QStringList path = f.key.split(u'.');
        const QJsonObject holder = path.size() == 2 ? object.value(path[0]).toObject() : object;
        const auto text = stringMember(holder, path.last(), why);
        if (!text) {
            if (path.size() == 2) *why += QStringLiteral(" in \"") + path[0] + u'"';
            return false;
        }
        (*values)[f.figure] = *text;
    }
    return true;
}

// The record a result line stands for; nothing, and why, when the line is not a result.
std::optional<DatedRecord> resultOfLine(const QByteArray& line, QString* why) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError) {
        *why = QStringLiteral("not JSON (%1 at byte %2)")
                   .arg(error.errorString())
                   .arg(error.offset + 1);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *why = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    DatedRecord record;
    const auto domain = stringMember(object, QStringLiteral("domain"), why);
    const auto date = stringMember(object, QStringLiteral("date"), why);
    if (!domain || !date || !readStoredFigures(object, &record.values, why)) return std::nullopt;
    if (const auto bad = badDomain(*domain)) {
        *why = *bad;
        return std::nullopt;
    }
    // Only the form the programs write: another spelling of the day would start a second record.
    const QDate day = QDate::fromString(*date, QStringLiteral("yyyy-M-d"));
    if (shortDate(day) != *date) {
        *why = QStringLiteral("the date \"") + *date +
               QStringLiteral("\" is not a day written as yyyy-M-d");
        return std::nullopt;
    }
    // A record of a day to come would stand as the latest for years, and every drop be measured
    // against it.
    if (day > platform().now().date()) {
        *why = QStringLiteral("the date \"") + *date + QStringLiteral("\" is after today");
        return std::nullopt;
    }
    record.domain = *domain;
    record.date = *date;
    return record;
}

// Every result of the file, or nothing when the file cannot be read or holds a line that is not a
// result (told with its line number: nothing of that file is stored).
std::optional<QList<DatedRecord>> fileResults(const QString& path, Console& console, int* status) {
    QByteArray bytes;
    if (readWholeFile(path, &bytes) != FileRead::Ok) {
        console.fail(QStringLiteral("cannot read ") + path);
        *status = FileFailed;
        return std::nullopt;
    }
    QList<DatedRecord> records;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty()) continue;
        QString why;
        const auto record = resultOfLine(line, &why);
        if (!record) {
            console.fail(path + u':' + QString::number(i + 1) + QStringLiteral(": not a result: ") +
                         why + QStringLiteral("; nothing of ") + path +
                         QStringLiteral(" is stored"));
            if (*status == Ran) *status = UsageError;
            return std::nullopt;
        }
        records.append(*record);
    }
    return records;
}

QString fateWord(RecordFate fate) {
    switch (fate) {
        case RecordFate::Added:
            return QStringLiteral("add");
        case RecordFate::Replaced:
            return QStringLiteral("replace");
        case RecordFate::Same:
            return QStringLiteral("same");
    }
    return QString();
}

// What storing the records would do to history.txt, one line each, on out.
int showImport(const QList<DatedRecord>& records, Console& console) {
    QList<RecordFate> fates;
    if (recordFatesIn(historyFilePath(), records, &fates)) {
        console.fail(QStringLiteral("cannot read ") + historyFilePath());
        return FileFailed;
    }
    QList<QStringList> table;
    for (qsizetype i = 0; i < records.size(); ++i)
        table.append({fateWord(fates[i]), records[i].domain,
                      HistoryRecord(records[i].date, records[i].values)});
    console.out << alignedTable(table);
    return Ran;
}

}  // namespace

int runImport(const Invocation& invocation, Console& console) {
    int status = Ran;
    QList<DatedRecord> records;
    for (const QString& path : invocation.arguments)
        if (const auto results = fileResults(path, console, &status)) records += *results;
    if (!invocation.has(Option::Save)) {
        const int shown = showImport(records, console);
        return shown == Ran ? status : shown;
    }
    QList<RecordFate> fates;
    if (const FileError error = saveHistoryRecordsTo(historyFilePath(), records, &fates)) {
        console.fail(QStringLiteral("cannot save in ") + historyFilePath() + QStringLiteral(": ") +
                     error->english() + QStringLiteral("; nothing imported"));
        return FileFailed;
    }
    const auto count = [&](RecordFate fate) { return QString::number(fates.count(fate)); };
    console.err << "zorvan-cli: " << records.size() << " results: " << count(RecordFate::Added)
                << " added, " << count(RecordFate::Replaced)
                << " replaced a different record of their day, " << count(RecordFate::Same)
                << " already stored" << Qt::endl;
    return status;
}

}  // namespace zorvan::cli
