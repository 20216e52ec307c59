#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <optional>

#include "cli/output.h"
#include "history/historyfile.h"

namespace zorvan::cli {

// Exit statuses, as Unix tools use them.
enum ExitStatus {
    Ran = 0,          // every query ran ("X" is a result, not an error)
    UsageError = 2,   // a usage error or a bad domain: nothing was fetched
    FileFailed = 3,   // a file could not be read or written; it was left whole
    DropFound = 4,    // a figure dropped, and --fail-on-drop was given
    NotifyFailed = 5, // an alert reached not every target (notify --test, --fail-on-notify)
};

// A parsed command line.
struct Invocation {
    QString command;
    QStringList arguments;          // the positional arguments after the command
    QHash<QString, QString> options;  // "--save" -> "", "--format" -> "json"
    bool has(const QString& option) const { return options.contains(option); }
    QString value(const QString& option, const QString& fallback = QString()) const {
        return options.value(option, fallback);
    }
};

// Results go to out, progress and errors to err.
struct Console {
    QTextStream& out;
    QTextStream& err;
    // "zorvan-cli: " + message on err.
    void fail(const QString& message);
};

struct OptionInfo {
    QString name;       // "--format"
    QString valueName;  // "text|json|csv"; empty for a flag
    QString help;
};

struct Command {
    QString name;
    QString usage;     // the arguments and options, after the name
    QString summary;
    QStringList options;  // the options it accepts
    std::function<int(const Invocation&, Console&)> run;
};

// Every command and option, in the order the help lists them.
const QList<Command>& commands();
const QList<OptionInfo>& optionTable();
const Command* findCommand(const QString& name);

// The text of --help, made from the tables above.
QString helpText();
QString versionText();

// Reads the arguments after the program name. Nothing and a message on a usage error; --help
// and --version come back as commands of those names.
std::optional<Invocation> parseArguments(const QStringList& arguments, QString* error);

// Runs a parsed command line and returns the exit status.
int run(const Invocation& invocation, Console& console);

// --format: text (the default), json or csv; nothing for another text.
std::optional<Format> formatOption(const Invocation& invocation, const QList<Format>& allowed);

// A domain the command refuses: empty, or holding a control character. The reason, or nothing.
std::optional<QString> badDomain(const QString& domain);

// The domain's stored records; nothing, and the file named on err, when history.txt cannot be read.
std::optional<QList<StoredRecord>> readRecordsOf(const QString& domain, Console& console);

// The commands themselves.
int runQuery(const Invocation& invocation, Console& console);
int runBatch(const Invocation& invocation, Console& console);
int runHistory(const Invocation& invocation, Console& console);
int runRules(const Invocation& invocation, Console& console);
int runCheck(const Invocation& invocation, Console& console);
int runChart(const Invocation& invocation, Console& console);

// Tells on err what of rules.json could not be used (the built-ins stand in for it).
void reportRuleProblems(Console& console);

}  // namespace zorvan::cli
