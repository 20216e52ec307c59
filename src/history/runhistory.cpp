#include "history/runhistory.h"

#include <QFile>
#include <QObject>
#include <QThreadPool>

#include "core/localfile.h"
#include "history/historylines.h"

namespace zorvan {
namespace {

// A record's day as recordDay reads it; dates are plain ASCII but for a hand edit.
QDate recordDay(QByteArrayView date) {
    const bool ascii = std::all_of(date.cbegin(), date.cend(), [](char c) { return c > 0; });
    const QString text = ascii ? QString::fromLatin1(date) : decodeAnsi(date.toByteArray());
    return QDate::fromString(text.trimmed(), QStringLiteral("yyyy-M-d"));
}

// Carries a result from the pool's thread: a signal of an object made there, connected with the
// caller's context, is dropped by Qt when that context is gone.
class ReadCarrier : public QObject {
    Q_OBJECT
  Q_SIGNALS:
    void done(const std::optional<zorvan::RunHistory>& history, const zorvan::FileProblem& problem);
};

}  // namespace

std::optional<RunHistory> RunHistory::read(const QString& path, const QStringList& domains,
                                           const QDate& from, FileProblem* problem) {
    const auto unreadable = [&] {
        if (problem) *problem = FileProblem{FileProblem::Unreadable, path, {}};
        return std::nullopt;
    };
    QFile file;
    const FileRead opened = openForReading(path, &file);
    if (opened == FileRead::Unreadable) return unreadable();
    RunHistory history;
    // The list is the caller's, shared; a section is held only once it has a record, so a long
    // list of new domains costs no more than the list.
    history.listed_ = domains;
    if (opened == FileRead::Missing || domains.isEmpty()) return history;
    QHash<QByteArray, int> headers;
    QList<QByteArray> names;
    for (const QString& domain : domains) {
        const QByteArray header = encodeAnsi(historyHeader(domain));
        if (headers.contains(header)) continue;
        headers.insert(header, int(names.size()));
        names.append(header);
    }
    // Per section: where its latest record of a day before from is in its list, and that day.
    QList<qsizetype> latestAt(names.size(), -1);
    QList<QDate> latestDay(names.size());
    HistoryLineReader in(&file);
    const bool read = forEachSectionLine(in, headers, [&](int index, QByteArrayView line) {
        QList<QByteArray>& lines = history.sections_[names[index]];
        if (!from.isValid()) {
            lines.append(line.toByteArray());
            return;
        }
        const QDate day = recordDay(recordDateField(line));
        if (!day.isValid()) return;
        if (day >= from) {
            lines.append(line.toByteArray());
            return;
        }
        // Of two records of the latest day, the later one in the file.
        if (latestAt[index] >= 0 && day < latestDay[index]) return;
        if (latestAt[index] >= 0) lines.removeAt(latestAt[index]);
        latestAt[index] = lines.size();
        latestDay[index] = day;
        lines.append(line.toByteArray());
    });
    if (!read || file.error() != QFileDevice::NoError) return unreadable();
    return history;
}

void RunHistory::readAsync(const QString& path, const QStringList& domains, const QDate& from,
                           QObject* context, Done done) {
    auto* carrier = new ReadCarrier;
    QObject::connect(carrier, &ReadCarrier::done, context, done);
    QThreadPool::globalInstance()->start([carrier, path, domains, from] {
        FileProblem problem{FileProblem::Unreadable, path, {}};
        const auto history = read(path, domains, from, &problem);
        Q_EMIT carrier->done(history, problem);
        carrier->deleteLater();
    });
}

bool RunHistory::lists(const QString& domain) const {
    // Asked once per query the window finishes, which takes seconds: a walk of the list costs
    // nothing beside that, and a set of it would hold another copy for the whole run.
    return listed_.contains(domain);
}

QList<StoredRecord> RunHistory::records(const QString& domain) const {
    QList<StoredRecord> records;
    for (const QByteArray& line : sections_.value(encodeAnsi(historyHeader(domain))))
        records.append(parseHistoryRecord(decodeAnsi(line)));
    return records;
}

bool RunHistory::hasRecordOn(const QString& domain, const QString& date) const {
    const QByteArray day = encodeAnsi(date);
    const QList<QByteArray> lines = sections_.value(encodeAnsi(historyHeader(domain)));
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&](const QByteArray& line) { return recordDateField(line) == day; });
}

QList<FigureDrop> RunHistory::drops(const QString& domain, const FigureValues& now,
                                    const QDate& today, double thresholdPercent) const {
    return findDrops(now, records(domain), today, thresholdPercent);
}

}  // namespace zorvan

#include "runhistory.moc"
