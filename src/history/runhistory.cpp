#include "history/runhistory.h"

#include <QObject>
#include <QThreadPool>

#include "core/localfile.h"

namespace zorvan {
namespace {

// The date field of a record line: the bytes before its first "=" ("=" is below the code page's
// trail bytes, so the first "=" byte ends the date).
QByteArrayView dateField(QByteArrayView line) {
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? line : line.first(eq);
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
    QByteArray bytes;
    if (readWholeFile(path, &bytes) == FileRead::Unreadable) {
        if (problem) *problem = FileProblem{FileProblem::Unreadable, path, {}};
        return std::nullopt;
    }
    RunHistory history;
    for (const QString& domain : domains) {
        const QByteArray header = encodeAnsi(historyHeader(domain));
        if (history.sections_.contains(header)) continue;
        QList<QByteArray>& lines = history.sections_[header];
        for (const QString& record : historyRecords(bytes, domain))
            lines.append(encodeAnsi(record));
    }
    (void)from;
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
                       [&](const QByteArray& line) { return dateField(line) == day; });
}

QList<FigureDrop> RunHistory::drops(const QString& domain, const FigureValues& now,
                                    const QDate& today, double thresholdPercent) const {
    return findDrops(now, records(domain), today, thresholdPercent);
}

}  // namespace zorvan

#include "runhistory.moc"
