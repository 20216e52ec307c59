#include "cli/cli.h"

#include <QFileInfo>

#include "engines/servicecheck.h"
#include "fetch/services.h"
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
         QStringLiteral("store each domain's record in history.txt, as the window's auto-save does")},
        {QStringLiteral("--drop-threshold"), QStringLiteral("PCT"),
         QStringLiteral("a count of 10 or more that fell by PCT percent or more (default 20) since the latest\n"
                        "      record of an earlier day is a drop; each result lists its drops")},
        {QStringLiteral("--fail-on-drop"), QString(), QStringLiteral("exit with status 4 when any count dropped")},
        {QStringLiteral("--output"), QStringLiteral("FILE"), QStringLiteral("the chart's file: .png or .svg")},
        {QStringLiteral("--kind"), QStringLiteral("indexed|backlinks"),
         QStringLiteral("which count of each engine the chart follows (default indexed)")},
    };
    return options;
}

const QList<Command>& commands() {
    static const QList<Command> table = {
        {QStringLiteral("query"),
         QStringLiteral("DOMAIN... [--format text|json|csv] [--save] [--drop-threshold PCT] [--fail-on-drop]"),
         QStringLiteral("the combined query of each domain in turn"),
         {QStringLiteral("--format"), QStringLiteral("--save"), QStringLiteral("--drop-threshold"),
          QStringLiteral("--fail-on-drop")}, runQuery},
        {QStringLiteral("batch"), QStringLiteral("[--format text|json|csv] [--save] [--drop-threshold PCT] [--fail-on-drop]"),
         QStringLiteral("the same over the saved domain list of config.ini, in list order"),
         {QStringLiteral("--format"), QStringLiteral("--save"), QStringLiteral("--drop-threshold"),
          QStringLiteral("--fail-on-drop")}, runBatch},
        {QStringLiteral("history"), QStringLiteral("DOMAIN [--format text|json|csv]"),
         QStringLiteral("the domain's stored records, oldest first"), {QStringLiteral("--format")}, runHistory},
        {QStringLiteral("rules"), QString(),
         QStringLiteral("the service rules in effect (built-ins with rules.json over them), as one JSON object"), {},
         runRules},
        {QStringLiteral("check"), QStringLiteral("DOMAIN [--format text|json]"),
         QStringLiteral("runs every service rule once for the domain and tells what each got and why"),
         {QStringLiteral("--format")}, runCheck},
        {QStringLiteral("chart"), QStringLiteral("DOMAIN --output FILE [--kind indexed|backlinks]"),
         QStringLiteral("the domain's stored counts as a chart, one line per engine, in a .png or .svg file"),
         {QStringLiteral("--output"), QStringLiteral("--kind")}, runChart},
    };
    return table;
}

const Command* findCommand(const QString& name) {
    for (const Command& c : commands())
        if (c.name == name) return &c;
    return nullptr;
}

QString helpText() {
    QString text = QStringLiteral(
        "Usage: zorvan-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
        "\n"
        "The Zorvan webmaster toolbox without a window: asks the search engines and ranking services\n"
        "how many pages of a domain each has indexed and how many pages link to it, as the window's\n"
        "\"查询\" does, and prints the figures as they are shown there.\n"
        "\n"
        "Commands:\n");
    for (const Command& c : commands()) {
        text += QStringLiteral("  ") + c.name + (c.usage.isEmpty() ? QString() : u' ' + c.usage) + u'\n';
        text += QStringLiteral("      ") + c.summary + u'\n';
    }
    text += QStringLiteral("\nOptions:\n");
    for (const OptionInfo& o : optionTable()) {
        const QString left = o.name + (o.valueName.isEmpty() ? QString() : u' ' + o.valueName);
        text += QStringLiteral("  ") + left + u'\n' + QStringLiteral("      ") + o.help + u'\n';
    }
    text += QStringLiteral(
        "  -h, --help\n"
        "      show this help and exit\n"
        "  --version\n"
        "      show the program's version and exit\n"
        "\n"
        "Environment:\n"
        "  ZORVAN_HOME              the data folder (config.ini, history.txt, rules.json); else the\n"
        "                           program's own folder when it is writable and not installed, else\n"
        "                           the user's data folder\n"
        "  ZORVAN_SERVICES          a file of role=host[:port] lines replacing the services' hosts\n"
        "  ZORVAN_FETCH_TIMEOUT_MS  the time limit of one request in milliseconds (default 20000)\n"
        "\n"
        "Results go to standard output, progress and errors to standard error.\n"
        "\n"
        "Exit status:\n"
        "  0  every command ran (a figure \"X\", nothing found, is a result, not an error)\n"
        "  2  a usage error or a bad domain (empty, or holding a control character); nothing fetched\n"
        "  3  a file could not be read or written; it was left whole\n"
        "  4  a figure dropped and --fail-on-drop was given\n");
    return text;
}

QString versionText() { return QStringLiteral("zorvan-cli " ZORVAN_VERSION "\n"); }

std::optional<Invocation> parseArguments(const QStringList& arguments, QString* error) {
    Invocation inv;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QStringLiteral("-h") || arg == QStringLiteral("--help")) {
            inv.command = QStringLiteral("--help");
            return inv;
        }
        if (arg == QStringLiteral("--version")) {
            inv.command = QStringLiteral("--version");
            return inv;
        }
        if (arg.startsWith(QStringLiteral("--"))) {
            const qsizetype eq = arg.indexOf(u'=');
            const QString name = eq < 0 ? arg : arg.left(eq);
            const auto option = std::find_if(optionTable().cbegin(), optionTable().cend(),
                                             [&](const OptionInfo& o) { return o.name == name; });
            if (option == optionTable().cend()) {
                *error = QStringLiteral("unknown option ") + name;
                return std::nullopt;
            }
            QString value;
            if (!option->valueName.isEmpty()) {
                if (eq >= 0) {
                    value = arg.mid(eq + 1);
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    *error = name + QStringLiteral(" needs a value (") + option->valueName + u')';
                    return std::nullopt;
                }
            } else if (eq >= 0) {
                *error = name + QStringLiteral(" takes no value");
                return std::nullopt;
            }
            inv.options.insert(name, value);
            continue;
        }
        if (inv.command.isEmpty())
            inv.command = arg;
        else
            inv.arguments.append(arg);
    }
    if (inv.command.isEmpty()) {
        *error = QStringLiteral("no command given");
        return std::nullopt;
    }
    const Command* command = findCommand(inv.command);
    if (!command) {
        *error = QStringLiteral("unknown command ") + inv.command;
        return std::nullopt;
    }
    for (auto it = inv.options.cbegin(); it != inv.options.cend(); ++it) {
        if (!command->options.contains(it.key())) {
            *error = it.key() + QStringLiteral(" does not apply to ") + inv.command;
            return std::nullopt;
        }
    }
    return inv;
}

int run(const Invocation& invocation, Console& console) {
    if (invocation.command == QStringLiteral("--help")) {
        console.out << helpText();
        return Ran;
    }
    if (invocation.command == QStringLiteral("--version")) {
        console.out << versionText();
        return Ran;
    }
    static const QStringList ruleUsers = {QStringLiteral("query"), QStringLiteral("batch"), QStringLiteral("rules"),
                                          QStringLiteral("check")};
    if (ruleUsers.contains(invocation.command)) reportRuleProblems(console);
    const int status = findCommand(invocation.command)->run(invocation, console);
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
        if (c.category() == QChar::Other_Control) return QStringLiteral("a domain holding a control character");
    return std::nullopt;
}

bool refuseBadDomain(const QString& domain, Console& console) {
    const auto why = badDomain(domain);
    if (why) console.fail(QStringLiteral("refused ") + *why + QStringLiteral(": \"") + domain + u'"');
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
