#include "cli/cli.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "core/services.h"
#include "engines/servicecheck.h"
#include "zorvan_version.h"

namespace zorvan::cli {

void Console::fail(const QString& message) {
    err << "zorvan-cli: " << oneLine(message) << '\n';
    err.flush();
}

const QList<OptionInfo>& optionTable() {
    static const QList<OptionInfo> options = {
        {QStringLiteral("--format"), QStringLiteral("text|json|csv"),
         QStringLiteral("output format: an aligned table (default), JSON Lines or CSV")},
        {QStringLiteral("--save"), QString(),
         QStringLiteral(
             "store each domain's record in history.txt, as the window's auto-save does")},
        {QStringLiteral("--drop-threshold"), QStringLiteral("PCT"),
         QStringLiteral("a count of 10 or more that fell by PCT percent or more (default 20) since "
                        "the latest\n"
                        "      record of an earlier day is a drop; each result lists its drops")},
        {QStringLiteral("--fail-on-drop"), QString(),
         QStringLiteral("exit with status 4 when any count dropped")},
        {QStringLiteral("--jobs"), QStringLiteral("N"),
         QStringLiteral(
             "query N domains at once (1 to 64, default 1); results still come in list order")},
        {QStringLiteral("--host-interval"), QStringLiteral("MS"),
         QStringLiteral(
             "at least MS milliseconds between the starts of two requests to one service (default "
             "0\n"
             "      with one job, 1000 with more); rules.json's \"intervals\" sets it per role")},
        {QStringLiteral("--resume"), QString(),
         QStringLiteral("with --save: pass over the domains that already have a record of today in "
                        "history.txt")},
        {QStringLiteral("--notify"), QString(),
         QStringLiteral("once the run is over, send its drops, and services blocked or silent for "
                        "more than a\n"
                        "      tenth of its figures, to the targets of notify.json (nothing when "
                        "neither happened)")},
        {QStringLiteral("--fail-on-notify"), QString(),
         QStringLiteral(
             "with --notify: exit with status 5 when an alert reached not every target")},
        {QStringLiteral("--output"), QStringLiteral("FILE"),
         QStringLiteral("the chart's file: .png or .svg")},
        {QStringLiteral("--test"), QString(),
         QStringLiteral(
             "send a short test message to every target of notify.json and print each answer")},
        {QStringLiteral("--kind"), QStringLiteral("indexed|backlinks"),
         QStringLiteral("which count of each engine the chart follows (default indexed)")},
        {QStringLiteral("--proxies"), QStringLiteral("FILE"),
         QStringLiteral("ask every service through the proxies of FILE (default: proxies.txt in "
                        "the data folder,\n"
                        "      when it exists; without one, the desktop's proxy settings)")},
        {QStringLiteral("--proxy"), QStringLiteral("N"),
         QStringLiteral(
             "check through the N-th proxy of the list alone, to see which one is blocked")},
        {QStringLiteral("--list"), QStringLiteral("FILE"),
         QStringLiteral(
             "the domains of FILE (UTF-8, one a line; blank lines and # comments left out)\n"
             "      instead of the saved list")},
        {QStringLiteral("--html"), QStringLiteral("DIR"),
         QStringLiteral("write the report as a static site into DIR: index.html and a page per "
                        "domain")},
        {QStringLiteral("--days"), QStringLiteral("N"),
         QStringLiteral("only the records of the last N days")},
        {QStringLiteral("--shard"), QStringLiteral("K/N"),
         QStringLiteral("only the domains of shard K of N: a domain's shard is the first 8 bytes "
                        "of the SHA-1 of\n"
                        "      its lower-cased name, modulo N, plus one, so adding a domain never "
                        "moves another")},
    };
    return options;
}

const QList<Command>& commands() {
    static const QStringList queryOptions = {
        QStringLiteral("--format"),         QStringLiteral("--save"),
        QStringLiteral("--drop-threshold"), QStringLiteral("--fail-on-drop"),
        QStringLiteral("--jobs"),           QStringLiteral("--host-interval"),
        QStringLiteral("--notify"),         QStringLiteral("--fail-on-notify"),
        QStringLiteral("--proxies")};
    static const QStringList batchOptions =
        queryOptions + QStringList{QStringLiteral("--list"), QStringLiteral("--shard"),
                                   QStringLiteral("--resume")};
    static const QString runOptions = QStringLiteral(
        "[--format text|json|csv] [--save] [--drop-threshold PCT] [--fail-on-drop] [--jobs N]\n"
        "      [--host-interval MS] [--notify [--fail-on-notify]] [--proxies FILE]");
    static const QString domain = QStringLiteral("DOMAIN");
    static const QList<Command> table = {
        {QStringLiteral("query"),
         QStringLiteral("DOMAIN... ") + runOptions,
         QStringLiteral("the combined query of each domain, printed in the order given"),
         queryOptions,
         {},
         domain,
         1,
         -1,
         runQuery},
        {QStringLiteral("batch"),
         QStringLiteral("[--list FILE] [--shard K/N] ") + runOptions +
             QStringLiteral(" [--resume]"),
         QStringLiteral(
             "the same over the saved domain list of config.ini (or --list FILE), in list order"),
         batchOptions,
         {},
         {},
         0,
         0,
         runBatch},
        {QStringLiteral("history"),
         QStringLiteral("DOMAIN [--format text|json|csv]"),
         QStringLiteral("the domain's stored records, oldest first"),
         {QStringLiteral("--format")},
         {},
         domain,
         1,
         1,
         runHistory},
        {QStringLiteral("rules"),
         QString(),
         QStringLiteral("the service rules in effect (built-ins with rules.json over them), as one "
                        "JSON object"),
         {},
         {},
         {},
         0,
         0,
         runRules},
        {QStringLiteral("check"),
         QStringLiteral("DOMAIN [--format text|json] [--proxies FILE] [--proxy N]"),
         QStringLiteral(
             "runs every service rule once for the domain and tells what each got and why"),
         {QStringLiteral("--format"), QStringLiteral("--proxies"), QStringLiteral("--proxy")},
         {},
         domain,
         1,
         1,
         runCheck},
        {QStringLiteral("chart"),
         QStringLiteral("DOMAIN --output FILE [--kind indexed|backlinks]"),
         QStringLiteral(
             "the domain's stored counts as a chart, one line per engine, in a .png or .svg file"),
         {QStringLiteral("--output"), QStringLiteral("--kind")},
         {QStringLiteral("--output")},
         domain,
         1,
         1,
         runChart},
        {QStringLiteral("report"),
         QStringLiteral("--html DIR [--list FILE] [--days N]"),
         QStringLiteral(
             "every domain of history.txt (or of --list FILE) as a static web site that "
             "opens from disk\n"
             "      or any web server: a sortable table and a page of charts per domain"),
         {QStringLiteral("--html"), QStringLiteral("--list"), QStringLiteral("--days")},
         {QStringLiteral("--html")},
         {},
         0,
         0,
         runReport},
        {QStringLiteral("notify"),
         QStringLiteral("--test"),
         QStringLiteral(
             "a short test message to every target of notify.json, and each one's answer"),
         {QStringLiteral("--test")},
         {QStringLiteral("--test")},
         {},
         0,
         0,
         runNotify},
        {QStringLiteral("schedule"),
         QStringLiteral("[daily HH:MM [-- BATCH OPTIONS] | off]"),
         QStringLiteral("the daily batch run, saving and alerting, as a systemd user timer: set, "
                        "shown or removed"),
         {},
         {},
         QStringLiteral("daily HH:MM | off"),
         0,
         -1,
         runSchedule},
        {QStringLiteral("import"),
         QStringLiteral("FILE... [--save]"),
         QStringLiteral("stores the results of JSON Lines written by query or batch --format json "
                        "(on any machine)\n"
                        "      as their day's records, as --save would have; without --save it "
                        "shows what it would store"),
         {QStringLiteral("--save")},
         {},
         QStringLiteral("FILE"),
         1,
         -1,
         runImport},
        {QStringLiteral("help"),
         QStringLiteral("[COMMAND]"),
         QStringLiteral("the usage of one command (as COMMAND --help shows it), or this help"),
         {},
         {},
         QStringLiteral("COMMAND"),
         0,
         1,
         runHelp},
    };
    return table;
}

const Command* findCommand(const QString& name) {
    for (const Command& c : commands())
        if (c.name == name) return &c;
    return nullptr;
}

namespace {

const OptionInfo& optionInfo(const QString& name) {
    const auto& table = optionTable();
    return *std::find_if(table.cbegin(), table.cend(),
                         [&](const OptionInfo& o) { return o.name == name; });
}

QString optionLines(const OptionInfo& o) {
    const QString left = o.name + (o.valueName.isEmpty() ? QString() : u' ' + o.valueName);
    return QStringLiteral("  ") + left + u'\n' + QStringLiteral("      ") + o.help + u'\n';
}

const QString helpOptionLines = QStringLiteral("  -h, --help\n      show this help and exit\n");

}  // namespace

QString helpText() {
    QString text = QStringLiteral(
        "Usage: zorvan-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
        "\n"
        "The Zorvan webmaster toolbox without a window: asks the search engines and ranking "
        "services\n"
        "how many pages of a domain each has indexed and how many pages link to it, as the "
        "window's\n"
        "\"查询\" does, and prints the figures as they are shown there.\n"
        "\n"
        "Commands:\n");
    for (const Command& c : commands()) {
        text += QStringLiteral("  ") + c.name + (c.usage.isEmpty() ? QString() : u' ' + c.usage) +
                u'\n';
        text += QStringLiteral("      ") + c.summary + u'\n';
    }
    text += QStringLiteral(
        "\nOptions (a command takes only those its line shows; after -- every word is an "
        "argument):\n");
    for (const OptionInfo& o : optionTable()) text += optionLines(o);
    text += helpOptionLines;
    text += QStringLiteral(
        "  --version\n"
        "      show the program's version and exit\n"
        "\n"
        "Environment:\n"
        "  ZORVAN_HOME              the data folder (config.ini, history.txt, rules.json); else "
        "the\n"
        "                           program's own folder when it is writable and not installed, "
        "else\n"
        "                           the user's data folder\n"
        "  ZORVAN_SERVICES          a file of role=host[:port] lines replacing the services' "
        "hosts\n"
        "  ZORVAN_FETCH_TIMEOUT_MS  the time limit of one request in milliseconds (default 20000)\n"
        "\n"
        "Proxies: when proxies.txt is in the data folder (or --proxies names a file), every "
        "request goes\n"
        "through one of its proxies, one a line: http://[user:pass@]host:port or socks5://..., # "
        "comments.\n"
        "Each host's pace holds per proxy; a proxy that fails 3 times in a row is dropped for the "
        "run.\n"
        "\n"
        "Results go to standard output, progress and errors to standard error. A reader that goes "
        "away\n"
        "(as head does) ends the command quietly; any other failed write of a result ends it with "
        "3.\n"
        "\n"
        "Exit status:\n"
        "  0  every command ran (a figure \"X\", nothing found, is a result, not an error)\n"
        "  2  a usage error or a bad domain (empty, or holding a control character); nothing "
        "fetched;\n"
        "     for batch also a saved list without domains, or entries passed over (the rest ran)\n"
        "  3  a file could not be read or written; it was left whole\n"
        "  4  a figure dropped and --fail-on-drop was given\n"
        "  5  an alert reached not every target of notify.json (notify --test, or a run told to "
        "fail on it)\n"
        "  6  a proxy list is in use and every proxy of it failed: the figures left are X "
        "(no-proxy)\n"
        "When a run has several of these, the first in this order is its status: 3, 2, 6, 4, 5 (a "
        "failed\n"
        "file or a passed-over entry says more than a lost proxy list, that more than a drop, and "
        "a drop\n"
        "more than its undelivered alert).\n");
    return text;
}

QString commandHelpText(const Command& command) {
    QString text = QStringLiteral("Usage: zorvan-cli ") + command.name +
                   (command.usage.isEmpty() ? QString() : u' ' + command.usage) +
                   QStringLiteral("\n\n") + command.summary + QStringLiteral("\n\nOptions:\n");
    for (const QString& name : command.options) text += optionLines(optionInfo(name));
    return text + helpOptionLines;
}

QString versionText() {
    return QStringLiteral("zorvan-cli " ZORVAN_VERSION "\n");
}

namespace {

// A word QCommandLineParser would read as short options ("-save" as -s -a -v -e) or as a long
// one: only -h is a short option here, so any other single-dash word is named as it was typed.
std::optional<QString> singleDashWord(const QStringList& words, const Command& command) {
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word == u"--") break;
        if (word.startsWith(u"--")) {
            if (!word.contains(u'=') && command.options.contains(word) &&
                !optionInfo(word).valueName.isEmpty())
                ++i;
        } else if (word.startsWith(u'-') && word != u"-h") {
            return word;
        }
    }
    return std::nullopt;
}

QString argumentCountError(const Command& c, qsizetype given) {
    if (c.mostArguments == 0) return c.name + QStringLiteral(" takes no argument");
    if (given < c.leastArguments)
        return c.name +
               (c.mostArguments < 0 ? QStringLiteral(" needs at least one ")
                                    : QStringLiteral(" needs a ")) +
               c.argument;
    return c.name + QStringLiteral(" takes one ") + c.argument +
           QStringLiteral(", not %1").arg(given);
}

}  // namespace

std::optional<Invocation> parseArguments(const QStringList& arguments, QString* error) {
    auto usageError = [&](const QString& message) -> std::optional<Invocation> {
        *error = message;
        return std::nullopt;
    };
    Invocation inv;
    if (arguments.isEmpty()) return usageError(QStringLiteral("no command given"));
    const QString& first = arguments.first();
    if (first == u"-h" || first == u"--help" || first == u"--version") {
        inv.command =
            first == u"--version" ? QStringLiteral("--version") : QStringLiteral("--help");
        return inv;
    }
    if (first.startsWith(u'-'))
        return usageError(QStringLiteral("a command comes first, not the option ") + first);
    const Command* command = findCommand(first);
    if (!command) return usageError(QStringLiteral("unknown command ") + first);
    const QStringList words = arguments.mid(1);
    if (const auto word = singleDashWord(words, *command))
        return usageError(command->name + QStringLiteral(": unknown option ") + *word);

    QCommandLineParser parser;
    for (const QString& name : command->options) {
        const OptionInfo& o = optionInfo(name);
        parser.addOption(QCommandLineOption(name.mid(2), o.help, o.valueName));
    }
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QStringList{QStringLiteral("zorvan-cli")} + words)) {
        // Single-dash words were refused above: what the parser does not know came as --name.
        if (!parser.unknownOptionNames().isEmpty())
            return usageError(command->name + QStringLiteral(": unknown option --") +
                              parser.unknownOptionNames().first());
        return usageError(command->name + QStringLiteral(": ") + parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        inv.command = QStringLiteral("help");
        inv.arguments = {command->name};
        return inv;
    }
    inv.command = command->name;
    inv.arguments = parser.positionalArguments();
    for (const QString& name : command->options)
        if (parser.isSet(name.mid(2))) inv.options.insert(name, parser.value(name.mid(2)));
    const qsizetype given = inv.arguments.size();
    if (given < command->leastArguments ||
        (command->mostArguments >= 0 && given > command->mostArguments))
        return usageError(argumentCountError(*command, given));
    for (const QString& name : command->requiredOptions)
        if (!inv.has(name))
            return usageError(command->name + QStringLiteral(" needs ") + name + u' ' +
                              optionInfo(name).valueName);
    return inv;
}

int runHelp(const Invocation& invocation, Console& console) {
    if (invocation.arguments.isEmpty()) {
        console.out << helpText();
        return Ran;
    }
    const Command* command = findCommand(invocation.arguments.first());
    if (!command) {
        console.fail(QStringLiteral("unknown command ") + invocation.arguments.first());
        return UsageError;
    }
    console.out << commandHelpText(*command);
    return Ran;
}

int run(const Invocation& invocation, Console& console) {
    if (invocation.command == QStringLiteral("--help")) {
        console.out << helpText();
        console.out.flush();
        return Ran;
    }
    if (invocation.command == QStringLiteral("--version")) {
        console.out << versionText();
        console.out.flush();
        return Ran;
    }
    static const QStringList ruleUsers = {QStringLiteral("query"), QStringLiteral("batch"),
                                          QStringLiteral("rules"), QStringLiteral("check")};
    if (ruleUsers.contains(invocation.command)) reportRuleProblems(console);
    // Alerts leave by the same way as the queries.
    const bool asks =
        findCommand(invocation.command)->options.contains(QStringLiteral("--proxies")) ||
        invocation.command == QStringLiteral("notify");
    if (asks) {
        if (const int status = setUpProxies(invocation, console); status != Ran) return status;
    }
    int status = findCommand(invocation.command)->run(invocation, console);
    if (asks) status = proxyRunStatus(status, console);
    console.out.flush();
    console.err.flush();
    return status;
}

std::optional<Format> formatOption(const Invocation& invocation, const QList<Format>& allowed) {
    const QString name = invocation.value(QStringLiteral("--format"), QStringLiteral("text"));
    std::optional<Format> format;
    if (name == QStringLiteral("text")) format = Format::Text;
    if (name == QStringLiteral("json")) format = Format::Json;
    if (name == QStringLiteral("csv")) format = Format::Csv;
    if (format && allowed.contains(*format)) return format;
    return std::nullopt;
}

std::optional<QString> badDomain(const QString& domain) {
    if (domain.isEmpty()) return QStringLiteral("an empty domain");
    for (const QChar c : domain)
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("a domain holding a control character");
    return std::nullopt;
}

bool refuseBadDomain(const QString& domain, Console& console) {
    const auto why = badDomain(domain);
    if (why)
        console.fail(QStringLiteral("refused ") + *why + QStringLiteral(": \"") + domain + u'"');
    return why.has_value();
}

std::optional<QList<StoredRecord>> readRecordsOf(const QString& domain, Console& console) {
    auto records = readStoredRecords(historyFilePath(), domain);
    if (records) return records;
    const QFileInfo folder(dataDirectory());
    if (folder.exists() && (!folder.isDir() || !folder.isReadable() || !folder.isExecutable()))
        console.fail(QStringLiteral("cannot read the data folder ") + folder.filePath());
    else
        console.fail(QStringLiteral("cannot read ") + historyFilePath());
    return records;
}

}  // namespace zorvan::cli
