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
    Ran = 0,           // every query ran ("X" is a result, not an error)
    UsageError = 2,    // a usage error or a bad domain: nothing was fetched
    FileFailed = 3,    // a file could not be read or written; it was left whole
    DropFound = 4,     // a figure dropped, and --fail-on-drop was given
    NotifyFailed = 5,  // an alert reached not every target (notify --test, --fail-on-notify)
    NoProxyLeft = 6,   // a proxy list is in use and every proxy failed: figures were left unasked
};

// A parsed command line.
struct Invocation {
    QString command;
    QStringList arguments;            // the positional arguments after the command
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

// What a command takes: its positional arguments (one kind, between a least and a most number)
// and the options of optionTable() it accepts. Anything else on its line is a usage error.
struct Command {
    QString name;
    QString usage;  // the arguments and options, after the name
    QString summary;
    QStringList options;          // "--format" ...
    QStringList requiredOptions;  // of options, those it cannot run without
    QString argument;             // "DOMAIN"; empty when it takes none
    int leastArguments = 0;
    int mostArguments = 0;  // -1: any number
    std::function<int(const Invocation&, Console&)> run;
};

// Every command and option, in the order the help lists them.
const QList<Command>& commands();
const QList<OptionInfo>& optionTable();
const Command* findCommand(const QString& name);

// The text of --help, made from the tables above, and one command's usage.
QString helpText();
QString commandHelpText(const Command& command);
QString versionText();

// Reads the arguments after the program name, each command with its own parser. Nothing and a
// message on a usage error. --help and --version come back as commands of those names, and
// `help COMMAND` and `COMMAND --help` as the command "help" with the command's name.
std::optional<Invocation> parseArguments(const QStringList& arguments, QString* error);

// Runs a parsed command line and returns the exit status.
int run(const Invocation& invocation, Console& console);

// --format: text (the default), json or csv; nothing for another text.
std::optional<Format> formatOption(const Invocation& invocation, const QList<Format>& allowed);

// A domain the command refuses: empty, or holding a control character. The reason, or nothing.
std::optional<QString> badDomain(const QString& domain);

// Tells why the command refuses the domain, if it does; true then.
bool refuseBadDomain(const QString& domain, Console& console);

// The domain's stored records; nothing, and the file named on err, when history.txt cannot be read.
std::optional<QList<StoredRecord>> readRecordsOf(const QString& domain, Console& console);

// The domains batch asks, from --list FILE or the saved list, kept to the shard --shard names;
// entries refused are told on err and passed over (refused set). Ran, or the status to end with.
struct BatchDomains {
    QStringList domains;
    bool refused = false;
};
int batchDomainList(const Invocation& invocation, Console& console, BatchDomains* batch);

// The way out of the commands that ask services: --proxies FILE or the data folder's proxies.txt
// (check: --proxy N alone), else the desktop's proxy settings. Ran, or the status to end with.
int setUpProxies(const Invocation& invocation, Console& console);
// A run's status once it ended: NoProxyLeft when requests were not made for want of a proxy.
int proxyRunStatus(int status, Console& console);

// The commands themselves.
int runQuery(const Invocation& invocation, Console& console);
int runBatch(const Invocation& invocation, Console& console);
int runHistory(const Invocation& invocation, Console& console);
int runRules(const Invocation& invocation, Console& console);
int runCheck(const Invocation& invocation, Console& console);
int runChart(const Invocation& invocation, Console& console);
int runReport(const Invocation& invocation, Console& console);
int runHelp(const Invocation& invocation, Console& console);
int runNotify(const Invocation& invocation, Console& console);
int runSchedule(const Invocation& invocation, Console& console);
int runImport(const Invocation& invocation, Console& console);

// Tells on err what of rules.json could not be used (the built-ins stand in for it).
void reportRuleProblems(Console& console);

}  // namespace zorvan::cli
