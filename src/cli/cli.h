#pragma once

#include <QCommandLineOption>
#include <QHash>
#include <QList>
#include <QMap>
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

// Every option of every command, each declared once in optionTable().
enum class Option {
    Format,
    Save,
    DropThreshold,
    FailOnDrop,
    Jobs,
    HostInterval,
    Resume,
    Notify,
    FailOnNotify,
    Output,
    Test,
    Kind,
    Proxies,
    Proxy,
    List,
    Html,
    Days,
    Shard,
};

struct OptionSpec {
    Option id;
    QCommandLineOption option;  // its name without dashes, value name ("N"; none for a flag), help
    QString name() const { return QStringLiteral("--") + option.names().constFirst(); }
    bool takesValue() const { return !option.valueName().isEmpty(); }
};

// A parsed command line.
struct Invocation {
    QString command;
    QStringList arguments;          // the positional arguments after the command
    QMap<Option, QString> options;  // Save -> "", Format -> "json"
    QStringList notes;              // what was taken without being asked: an option repeated
    bool has(Option option) const { return options.contains(option); }
    QString value(Option option, const QString& fallback = QString()) const {
        return options.value(option, fallback);
    }
};

// Results go to out, progress and errors to err.
struct Console {
    QTextStream& out;
    QTextStream& err;
    // "zorvan-cli: " + message on err.
    void fail(const QString& message);
    // The first twenty of many, then "… and N more": a generated file can hold a million
    // problems, and the first ones show what to mend.
    void failFirst(const QStringList& messages);
};

// What a command takes: its positional arguments (one kind, between a least and a most number)
// and the options of optionTable() it accepts. Anything else on its line is a usage error. Its
// usage line and help are made from these.
struct Command {
    QString name;
    QString positional;  // how the usage line shows the arguments: "DOMAIN...", "[COMMAND]"
    QString summary;
    QList<Option> options;
    QList<Option> requiredOptions;  // of options, those it cannot run without
    QString argument;               // "DOMAIN"; empty when it takes none
    int leastArguments = 0;
    int mostArguments = 0;  // -1: any number
    std::function<int(const Invocation&, Console&)> run;
    QList<Format> formats = {Format::Text, Format::Json, Format::Csv};  // what --format takes
};

// Every command and option, in the order the help lists them.
const QList<Command>& commands();
const QList<OptionSpec>& optionTable();
const OptionSpec& optionSpec(Option option);
const Command* findCommand(const QString& name);
// "query DOMAIN... [--format text|json|csv] [--save] ...", wrapped for the help.
QString usageLine(const Command& command);

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
// Reads and runs the arguments after the program name, as the program does once started: a
// usage error is told on err with the way to help. Tests call the command this way in process.
int runArguments(const QStringList& arguments, Console& console);

// The command's one way to wait: runs its own event loop (nothing else runs meanwhile) from
// start until finished() holds, checked at once and each time start's work calls wake. The
// context lives as long as the wait: work tied to it ends with it.
void runUntil(const std::function<void(QObject* context, const std::function<void()>& wake)>& start,
              const std::function<bool()>& finished);

// --format: one of the command's formats (text by default); nothing, and why, for another text.
std::optional<Format> formatOption(const Invocation& invocation, QString* why);

// What batch would refuse of its options before asking anything (values out of range, a
// --format it does not write, --resume without --save), or nothing.
std::optional<QString> refusedBatchOptions(const Invocation& invocation);

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
inline const QString ShardUsage =
    QStringLiteral("--shard takes K/N, a shard K of N shards with 1 <= K <= N");

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
