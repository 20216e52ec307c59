#include "cli/cli.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFileInfo>

#include "core/services.h"
#include "engines/servicecheck.h"
#include "zorvan_version.h"

namespace zorvan::cli {

void Console::fail(const QString& message) {
    err << "zorvan-cli: " << oneLine(message) << '\n';
    err.flush();
}

void Console::failFirst(const QStringList& messages) {
    constexpr qsizetype shown = 20;
    for (qsizetype i = 0; i < std::min(shown, messages.size()); ++i) fail(messages[i]);
    if (messages.size() > shown)
        fail(QString::fromUtf8("… and %1 more").arg(messages.size() - shown));
}

const QList<OptionSpec>& optionTable() {
    const auto option = [](Option id, const char* name, const char* valueName, const char* help) {
        return OptionSpec{id, QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help),
                                                 QString::fromLatin1(valueName))};
    };
    static const QList<OptionSpec> options = {
        option(Option::Format, "format", "text|json|csv",
               "output format: an aligned table (default), JSON Lines or CSV"),
        option(Option::Save, "save", "",
               "store each domain's record in history.txt, as the window's auto-save does"),
        option(Option::DropThreshold, "drop-threshold", "PCT",
               "a count of 10 or more that fell by PCT percent or more (default 20) since the "
               "latest\n      record of an earlier day is a drop; each result lists its drops"),
        option(Option::FailOnDrop, "fail-on-drop", "", "exit with status 4 when any count dropped"),
        option(Option::Jobs, "jobs", "N",
               "query N domains at once (1 to 64, default 1); results still come in list order"),
        option(Option::HostInterval, "host-interval", "MS",
               "at least MS milliseconds between the starts of two requests to one service "
               "(default 0\n      with one job, 1000 with more); rules.json's \"intervals\" sets "
               "it per role"),
        option(Option::Resume, "resume", "",
               "with --save: pass over the domains that already have a record of today in "
               "history.txt"),
        option(Option::Notify, "notify", "",
               "once the run is over, send its drops, and services blocked or silent for more "
               "than a\n      tenth of their figures, to the targets of notify.json (nothing when "
               "neither happened)"),
        option(Option::FailOnNotify, "fail-on-notify", "",
               "with --notify: exit with status 5 when an alert reached not every target"),
        option(Option::Output, "output", "FILE", "the chart's file: .png or .svg"),
        option(Option::Test, "test", "",
               "send a short test message to every target of notify.json and print each answer"),
        option(Option::Kind, "kind", "indexed|backlinks",
               "which count of each engine the chart follows (default indexed)"),
        option(Option::Proxies, "proxies", "FILE",
               "ask every service through the proxies of FILE (default: proxies.txt in the data "
               "folder,\n      when it exists; without one, the desktop's proxy settings)"),
        option(Option::Proxy, "proxy", "N",
               "check through the N-th proxy of the list alone, to see which one is blocked"),
        option(Option::List, "list", "FILE",
               "the domains of FILE (UTF-8, one a line; blank lines and # comments left out)\n"
               "      instead of the saved list"),
        option(Option::Html, "html", "DIR",
               "write the report as a static site into DIR: index.html and a page per domain"),
        option(Option::Days, "days", "N", "only the records of the last N days"),
        option(Option::Shard, "shard", "K/N",
               "only the domains of shard K of N: a domain's shard is the first 8 bytes of the "
               "SHA-1 of\n      its lower-cased name, modulo N, plus one, so adding a domain "
               "never moves another"),
    };
    return options;
}

const OptionSpec& optionSpec(Option option) {
    const auto& table = optionTable();
    return *std::find_if(table.cbegin(), table.cend(),
                         [&](const OptionSpec& o) { return o.id == option; });
}

const QList<Command>& commands() {
    static const QList<Option> queryOptions = {
        Option::Format,     Option::Save,         Option::DropThreshold,
        Option::FailOnDrop, Option::Jobs,         Option::HostInterval,
        Option::Notify,     Option::FailOnNotify, Option::Proxies};
    static const QList<Option> batchOptions =
        QList<Option>{Option::List, Option::Shard} + queryOptions + QList<Option>{Option::Resume};
    static const QString domain = QStringLiteral("DOMAIN");
    static const QList<Command> table = {
        {QStringLiteral("query"),
         QStringLiteral("DOMAIN..."),
         QStringLiteral("the combined query of each domain, printed in the order given"),
         queryOptions,
         {},
         domain,
         1,
         -1,
         runQuery},
        {QStringLiteral("batch"),
         QString(),
         QStringLiteral(
             "the same over the saved domain list of config.ini (or --list FILE), in list order"),
         batchOptions,
         {},
         {},
         0,
         0,
         runBatch},
        {QStringLiteral("history"),
         QStringLiteral("DOMAIN"),
         QStringLiteral("the domain's stored records, oldest first"),
         {Option::Format},
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
         QStringLiteral("DOMAIN"),
         QStringLiteral(
             "runs every service rule once for the domain and tells what each got and why"),
         {Option::Format, Option::Proxies, Option::Proxy},
         {},
         domain,
         1,
         1,
         runCheck,
         {Format::Text, Format::Json}},
        {QStringLiteral("chart"),
         QStringLiteral("DOMAIN"),
         QStringLiteral(
             "the domain's stored counts as a chart, one line per engine, in a .png or .svg file"),
         {Option::Output, Option::Kind},
         {Option::Output},
         domain,
         1,
         1,
         runChart},
        {QStringLiteral("report"),
         QString(),
         QStringLiteral(
             "every domain of history.txt (or of --list FILE) as a static web site that "
             "opens from disk\n"
             "      or any web server: a sortable table and a page of charts per domain"),
         {Option::Html, Option::List, Option::Days},
         {Option::Html},
         {},
         0,
         0,
         runReport},
        {QStringLiteral("notify"),
         QString(),
         QStringLiteral(
             "a short test message to every target of notify.json, and each one's answer"),
         {Option::Test},
         {Option::Test},
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
         QStringLiteral("FILE..."),
         QStringLiteral("stores the results of JSON Lines written by query or batch --format json "
                        "(on any machine)\n"
                        "      as their day's records, as --save would have; without --save it "
                        "shows what it would store"),
         {Option::Save},
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

QString formatNames(const QList<Format>& formats, const QString& separator) {
    QStringList names;
    for (const Format f : formats)
        names.append(f == Format::Text   ? QStringLiteral("text")
                     : f == Format::Json ? QStringLiteral("json")
                                         : QStringLiteral("csv"));
    return names.join(separator);
}

// An option as a command shows it: --format with the formats that command writes.
QString optionWord(const Command& command, const OptionSpec& o) {
    const QString value = o.id == Option::Format ? formatNames(command.formats, QStringLiteral("|"))
                                                 : o.option.valueName();
    return o.name() + (value.isEmpty() ? QString() : u' ' + value);
}

QString optionLines(const Command* command, const OptionSpec& o) {
    return QStringLiteral("  ") + (command ? optionWord(*command, o) : optionWord(Command{}, o)) +
           u'\n' + QStringLiteral("      ") + o.option.description() + u'\n';
}

const QString helpOptionLines = QStringLiteral("  -h, --help\n      show this help and exit\n");

}  // namespace

QString usageLine(const Command& command) {
    QStringList words = {command.name};
    if (!command.positional.isEmpty()) words.append(command.positional);
    for (const Option id : command.options) {
        const QString word = optionWord(command, optionSpec(id));
        words.append(command.requiredOptions.contains(id) ? word : u'[' + word + u']');
    }
    // Wrapped under the help's indent, as the hand-written lines were.
    QString line;
    qsizetype width = 0;
    for (const QString& word : words) {
        if (width > 0 && width + 1 + word.size() > 92) {
            line += QStringLiteral("\n     ");
            width = 5;
        }
        if (width > 0) {
            line += u' ';
            ++width;
        }
        line += word;
        width += word.size();
    }
    return line;
}

namespace {

// What the general help says after the options: environment, proxies, output and exit status.
QString helpFooter() {
    return QStringLiteral(
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
}

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
        text += QStringLiteral("  ") + usageLine(c) + u'\n';
        text += QStringLiteral("      ") + c.summary + u'\n';
    }
    text += QStringLiteral(
        "\nOptions (a command takes only those its line shows; after -- every word is an "
        "argument):\n");
    for (const OptionSpec& o : optionTable()) text += optionLines(nullptr, o);
    text += helpOptionLines;
    text += helpFooter();
    return text;
}

QString commandHelpText(const Command& command) {
    QString text = QStringLiteral("Usage: zorvan-cli ") + usageLine(command) +
                   QStringLiteral("\n\n") + command.summary + QStringLiteral("\n\nOptions:\n");
    for (const Option id : command.options) text += optionLines(&command, optionSpec(id));
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
            const auto taken =
                std::find_if(command.options.cbegin(), command.options.cend(),
                             [&](Option id) { return optionSpec(id).name() == word; });
            if (taken != command.options.cend() && optionSpec(*taken).takesValue()) ++i;
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
    for (const Option id : command->options) parser.addOption(optionSpec(id).option);
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
    for (const Option id : command->options) {
        const OptionSpec& o = optionSpec(id);
        if (!parser.isSet(o.option)) continue;
        inv.options.insert(id, parser.value(o.option));
        if (const auto times = parser.optionNames().count(o.option.names().constFirst()); times > 1)
            inv.notes.append(o.name() +
                             QStringLiteral(" is given %1 times; the last stands").arg(times) +
                             (o.takesValue() ? QStringLiteral(": ") + inv.value(id) : QString()));
    }
    const qsizetype given = inv.arguments.size();
    if (given < command->leastArguments ||
        (command->mostArguments >= 0 && given > command->mostArguments))
        return usageError(argumentCountError(*command, given));
    for (const Option id : command->requiredOptions)
        if (!inv.has(id))
            return usageError(command->name + QStringLiteral(" needs ") +
                              optionWord(*command, optionSpec(id)));
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
    for (const QString& note : invocation.notes) console.fail(note);
    static const QStringList ruleUsers = {QStringLiteral("query"), QStringLiteral("batch"),
                                          QStringLiteral("rules"), QStringLiteral("check")};
    if (ruleUsers.contains(invocation.command)) reportRuleProblems(console);
    // Alerts leave by the same way as the queries.
    const bool asks = findCommand(invocation.command)->options.contains(Option::Proxies) ||
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

int runArguments(const QStringList& arguments, Console& console) {
    QString error;
    const auto invocation = parseArguments(arguments, &error);
    if (!invocation) {
        console.fail(error);
        console.err << "Try 'zorvan-cli --help'." << Qt::endl;
        return UsageError;
    }
    return run(*invocation, console);
}

void runUntil(const std::function<void(QObject*, const std::function<void()>&)>& start,
              const std::function<bool()>& finished) {
    QEventLoop loop;
    start(&loop, [&] {
        if (finished()) loop.quit();
    });
    if (!finished()) loop.exec();
}

std::optional<Format> formatOption(const Invocation& invocation, QString* why) {
    const Command* command = findCommand(invocation.command);
    const QString name = invocation.value(Option::Format, QStringLiteral("text"));
    for (const Format f : command->formats)
        if (formatNames({f}, {}) == name) return f;
    // The formats as words: "text, json or csv".
    QString words = formatNames(command->formats, QStringLiteral(", "));
    const qsizetype last = words.lastIndexOf(QStringLiteral(", "));
    if (last >= 0) words.replace(last, 2, QStringLiteral(" or "));
    *why = (command->formats.size() < 3 ? command->name + QStringLiteral("'s ") : QString()) +
           QStringLiteral("--format takes ") + words;
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
