#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "history/historyfile.h"
#include "history/trends.h"

class QObject;

namespace zorvan {

// What a run needs from history.txt, read once as it starts: the records its domains held then.
// Drops compare with these, whatever the run or another process saves meanwhile, and --resume
// asks them which domains hold a record of today. The file is read streaming: a run holds the
// records of its own domains, never the file.
class RunHistory {
  public:
    // Reads the file at path once for the domains. With a valid from, each domain keeps only the
    // records that a drop on from or any later day compares with and that tell whether a day from
    // from on is stored: its latest record of a day before from, and every record of from or
    // later (so a long list holds a record or two a domain). With an invalid from, it keeps every
    // record, for trends. A missing file holds no records; one that exists but cannot be read
    // gives nothing, and *problem (when given) says so.
    static std::optional<RunHistory> read(const QString& path, const QStringList& domains,
                                          const QDate& from, FileProblem* problem = nullptr);

    // The same on a thread of the pool; done gets the result on context's thread, and is never
    // called once context is gone.
    using Done =
        std::function<void(const std::optional<RunHistory>& history, const FileProblem& problem)>;
    static void readAsync(const QString& path, const QStringList& domains, const QDate& from,
                          QObject* context, Done done);

    // Whether domain was one of those read for.
    bool lists(const QString& domain) const;
    // The kept records of domain, oldest first as stored; none for a domain that was not listed
    // or has no section.
    QList<StoredRecord> records(const QString& domain) const;
    // Whether domain held a record of the date (a short date; from from on when some were kept).
    bool hasRecordOn(const QString& domain, const QString& date) const;
    // The counts of now that fell since domain's latest record of a day before today.
    QList<FigureDrop> drops(const QString& domain, const FigureValues& now, const QDate& today,
                            double thresholdPercent = DefaultDropThreshold) const;

  private:
    QStringList listed_;
    // The kept record lines of each listed domain's section that has any, by the bytes of its
    // header.
    QHash<QByteArray, QList<QByteArray>> sections_;
};

}  // namespace zorvan
