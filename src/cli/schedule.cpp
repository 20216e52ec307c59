// schedule: a daily batch run through the desktop's own scheduler.
#include "cli/schedule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "cli/cli.h"
#include "core/localfile.h"

namespace zorvan::cli {
namespace {

bool isPlain(const QString& word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=,+@-]+$"));
    return plain.match(word).hasMatch();
}

QString quotedWithEscapes(QString word) {
    word.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + word + u'"';
}

// A word of a unit line: double-quoted with C escapes where needed, "%" doubled so that systemd
// takes it for no specifier. Only arguments of ExecStart= expand "$": there it is doubled too;
// the program's own name and Environment= keep it as it is.
enum class UnitPlace { Program, Argument, Environment };
QString unitWord(const QString& word, UnitPlace place) {
    QString w = isPlain(word) ? word : quotedWithEscapes(word);
    w.replace(u'%', QStringLiteral("%%"));
    if (place == UnitPlace::Argument) w.replace(u'$', QStringLiteral("$$"));
    return w;
}

// A word for the shell cron runs; "%" ends a crontab command unless escaped.
QString shellWord(const QString& word) {
    QString w = word;
    if (!isPlain(w)) w = u'\'' + w.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    return w.replace(u'%', QStringLiteral("\\%"));
}

// systemctl never gets to hang the command: a manager that does not answer within this is none.
constexpr int SystemctlTimeoutMs = 10000;

struct Answer {
    bool answered = false;  // the manager was reached and the call succeeded
    QString output;
};

// The desktop's scheduler asked once; it never gets to hang the command: one that does not answer
// within timeoutMs is none. named is how its silence is told.
Answer askManager(const QString& program, const QStringList& arguments, const QString& named,
                  int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return {false, program + QStringLiteral(" cannot be started")};
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {false, named + QStringLiteral(" did not answer within %1 s").arg(timeoutMs / 1000)};
    }
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return {process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, output};
}

// "06:30".
QString clockText(const DailyTime& time) {
    return QStringLiteral("%1:%2")
        .arg(time.hour, 2, 10, QChar(u'0'))
        .arg(time.minute, 2, 10, QChar(u'0'));
}

QString program() {
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QStringLiteral("zorvan-cli") : path;
}

// The batch options as batch reads them, with what every daily run adds, their notes told;
// nothing, told, for what batch would refuse, so that no nightly run fails on them.
std::optional<Invocation> dailyBatch(const QStringList& options, Console& console) {
    for (const QString& o : options)
        for (const QChar c : o)
            if (c.category() == QChar::Other_Control) {
                console.fail(QStringLiteral("a batch option holding a control character"));
                return std::nullopt;
            }
    QString error;
    auto batch = parseArguments(dailyRunCommand(QString(), options).mid(1), &error);
    if (batch && !batch->arguments.isEmpty()) error = QStringLiteral("batch takes no argument");
    if (batch && error.isEmpty()) {
        if (const auto why = refusedBatchOptions(*batch)) error = *why;
    }
    if (!error.isEmpty() || !batch) {
        console.fail(QStringLiteral("schedule: batch would refuse its options: ") + error);
        return std::nullopt;
    }
    for (const QString& note : batch->notes) console.fail(note);
    return batch;
}

// The run's command line from its options. It starts elsewhere (the service in the home
// folder): names of files are written absolute, as they name them here.
QStringList dailyCommandLine(const Invocation& batch) {
    QStringList words;
    static const QList<Option> added = {Option::Save, Option::Resume, Option::Notify};
    for (const Option id : findCommand(QStringLiteral("batch"))->options) {
        if (!batch.has(id) || added.contains(id)) continue;
        const OptionSpec& o = optionSpec(id);
        words.append(o.name());
        if (!o.takesValue()) continue;
        words.append(id == Option::List || id == Option::Proxies
                         ? QFileInfo(batch.value(id)).absoluteFilePath()
                         : batch.value(id));
    }
    return dailyRunCommand(program(), words);
}

#ifdef Q_OS_WIN
Answer schtasks(const QStringList& arguments) {
    const QString program = QStringLiteral("schtasks");
    return askManager(program, arguments, program, 30000);
}

// The fields of one CSV line as schtasks writes them: every field quoted.
QStringList csvFields(const QString& line) {
    QStringList fields;
    static const QRegularExpression field(QStringLiteral("\"((?:[^\"]|\"\")*)\""));
    for (auto it = field.globalMatch(line); it.hasNext();)
        fields.append(it.next().captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\"")));
    return fields;
}

int scheduleDaily(const DailyTime& time, const QStringList& options, Console& console) {
    const auto batch = dailyBatch(options, console);
    if (!batch) return UsageError;
    const QString home = qEnvironmentVariable("ZORVAN_HOME");
    const QString dataFolder =
        home.isEmpty() ? home : QDir::toNativeSeparators(QFileInfo(home).absoluteFilePath());
    QStringList command = dailyCommandLine(*batch);
    command.first() = QDir::toNativeSeparators(command.first());
    if (const auto refused = taskRefusal(command, dataFolder)) {
        console.fail(QStringLiteral("schedule: ") + *refused);
        return UsageError;
    }
    const Answer a = schtasks(taskCreateArguments(time, command, dataFolder));
    if (!a.answered) {
        console.fail(QStringLiteral("schtasks did not create the task: ") + a.output);
        return FileFailed;
    }
    console.out << "daily run on at " << clockText(time) << " (task \"" << TaskName << "\")\n";
    return Ran;
}

int scheduleOff(Console& console) {
    if (!schtasks({QStringLiteral("/Query"), QStringLiteral("/TN"), TaskName}).answered) {
        console.out << "no daily run was set\n";
        return Ran;
    }
    const Answer a = schtasks(
        {QStringLiteral("/Delete"), QStringLiteral("/TN"), TaskName, QStringLiteral("/F")});
    if (!a.answered) {
        console.fail(QStringLiteral("schtasks did not delete the task: ") + a.output);
        return FileFailed;
    }
    console.out << "daily run removed\n";
    return Ran;
}

int scheduleStatus(Console& console) {
    const Answer a =
        schtasks({QStringLiteral("/Query"), QStringLiteral("/TN"), TaskName, QStringLiteral("/FO"),
                  QStringLiteral("CSV"), QStringLiteral("/V"), QStringLiteral("/NH")});
    if (!a.answered) {
        console.out << "daily run: off\n";
        return Ran;
    }
    // The columns' order is fixed; their titles and values are in the system's language.
    const QStringList f = csvFields(a.output.section(u'\n', 0, 0));
    console.out << "daily run: on (task \"" << TaskName << "\", " << f.value(3) << ")\n";
    console.out << "next run: " << f.value(2) << '\n';
    console.out << "last run: " << f.value(5) << '\n';
    console.out << "last exit status: " << f.value(6) << '\n';
    return Ran;
}
#else
Answer systemctl(const QStringList& arguments) {
    return askManager(QStringLiteral("systemctl"),
                      QStringList{QStringLiteral("--user")} + arguments,
                      QStringLiteral("systemctl --user"), SystemctlTimeoutMs);
}

QString property(const QString& unit, const QString& name) {
    const Answer a = systemctl({QStringLiteral("show"), unit, QStringLiteral("--property=") + name,
                                QStringLiteral("--value")});
    return a.answered ? a.output : QString();
}

bool writeFile(const QString& path, const QString& text, Console& console) {
    QString error;
    if (!writeFileAtomically(path, text.toUtf8(), &error)) {
        console.fail(QStringLiteral("cannot write ") + path + QStringLiteral(": ") + error);
        return false;
    }
    return true;
}

QString noManager(const Answer& a) {
    return QStringLiteral("no user service manager answers (%1)")
        .arg(a.output.isEmpty() ? QStringLiteral("no answer") : a.output.section(u'\n', 0, 0));
}

// systemd-analyze verify where it exists: a unit it refuses would be enabled and never run.
// Nothing when they pass or it cannot be asked; else what it said.
std::optional<QString> unitsRefused(const QString& folder) {
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // It wants a runtime folder for --user units, as under cron there is none.
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.value(QStringLiteral("XDG_RUNTIME_DIR")).isEmpty())
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(env);
    process.start(analyze, {QStringLiteral("--user"), QStringLiteral("verify"),
                            folder + u'/' + TimerUnitName, folder + u'/' + ServiceUnitName});
    if (!process.waitForStarted(SystemctlTimeoutMs)) return std::nullopt;
    if (!process.waitForFinished(SystemctlTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return std::nullopt;
    const QString said = QString::fromLocal8Bit(process.readAll()).trimmed();
    return said.isEmpty() ? QStringLiteral("status %1").arg(process.exitCode())
                          : said.section(u'\n', 0, 0);
}

int scheduleDaily(const DailyTime& time, const QStringList& options, Console& console) {
    const auto batch = dailyBatch(options, console);
    if (!batch) return UsageError;
    const QString folder = userUnitFolder();
    const QString home = qEnvironmentVariable("ZORVAN_HOME");
    const QString dataFolder = home.isEmpty() ? home : QFileInfo(home).absoluteFilePath();
    const QStringList command = dailyCommandLine(*batch);
    if (const auto refused = unitProgramRefusal(command.first())) {
        console.fail(QStringLiteral("systemd cannot run a program whose path holds ") + *refused +
                     QStringLiteral(": ") + command.first() +
                     QStringLiteral("; move zorvan-cli to a folder without it"));
        return UsageError;
    }
    if (!QDir().mkpath(folder)) {
        console.fail(QStringLiteral("cannot create ") + folder);
        return FileFailed;
    }
    if (!writeFile(folder + u'/' + ServiceUnitName, serviceUnit(command, dataFolder), console) ||
        !writeFile(folder + u'/' + TimerUnitName, timerUnit(time), console))
        return FileFailed;
    console.err << "wrote " << folder << '/' << ServiceUnitName << " and " << TimerUnitName << '\n';
    if (const auto refused = unitsRefused(folder)) {
        console.fail(QStringLiteral("systemd-analyze verify refuses the written units (") +
                     *refused + QStringLiteral("); the timer is not enabled"));
        return FileFailed;
    }
    Answer a = systemctl({QStringLiteral("daemon-reload")});
    if (a.answered)
        a = systemctl({QStringLiteral("enable"), QStringLiteral("--now"), TimerUnitName});
    if (!a.answered) {
        console.fail(
            noManager(a) +
            QStringLiteral("; the timer is not enabled. A crontab line that does the same:"));
        console.out << crontabLine(time, command, dataFolder) << '\n';
        return FileFailed;
    }
    console.out << "daily run on, next at "
                << property(TimerUnitName, QStringLiteral("NextElapseUSecRealtime")) << '\n';
    return Ran;
}

int scheduleOff(Console& console) {
    const QString folder = userUnitFolder();
    // A timer the manager has loaded runs until it is told: removing its file is not enough.
    const Answer manager = systemctl({QStringLiteral("show-environment")});
    if (manager.answered)
        systemctl({QStringLiteral("disable"), QStringLiteral("--now"), TimerUnitName});
    bool removed = false;
    for (const QString& name : {TimerUnitName, ServiceUnitName}) {
        QFile file(folder + u'/' + name);
        if (!file.exists()) continue;
        if (!file.remove()) {
            console.fail(QStringLiteral("cannot remove ") + file.fileName());
            return FileFailed;
        }
        removed = true;
    }
    if (!manager.answered) {
        console.fail(noManager(manager) +
                     (removed ? QStringLiteral("; the unit files are removed, but a timer it had "
                                               "loaded may still run")
                              : QStringLiteral("; there was no unit file")) +
                     QStringLiteral(". A crontab line of the daily run goes with crontab -e."));
        return FileFailed;
    }
    systemctl({QStringLiteral("daemon-reload")});
    console.out << (removed ? "daily run removed" : "no daily run was set") << '\n';
    return Ran;
}

int scheduleStatus(Console& console) {
    const QString timerPath = userUnitFolder() + u'/' + TimerUnitName;
    QFile timer(timerPath);
    if (!timer.open(QIODevice::ReadOnly)) {
        console.out << "daily run: off\n";
        return Ran;
    }
    static const QRegularExpression calendar(QStringLiteral("^OnCalendar=\\S+ (\\d\\d:\\d\\d)"),
                                             QRegularExpression::MultilineOption);
    const QString at = calendar.match(QString::fromUtf8(timer.readAll())).captured(1);
    const Answer manager = systemctl({QStringLiteral("show-environment")});
    if (!manager.answered) {
        console.out << "daily run: written for " << at << " in " << timerPath << '\n';
        console.fail(noManager(manager) + QStringLiteral("; whether it runs is unknown"));
        return FileFailed;
    }
    const Answer state = systemctl({QStringLiteral("is-enabled"), TimerUnitName});
    console.out << "daily run: " << (state.answered ? "on" : "off") << " at " << at << " ("
                << state.output << ")\n";
    console.out << "next run: " << property(TimerUnitName, QStringLiteral("NextElapseUSecRealtime"))
                << '\n';
    console.out << "last run: " << property(TimerUnitName, QStringLiteral("LastTriggerUSec"))
                << '\n';
    console.out << "last exit status: "
                << property(ServiceUnitName, QStringLiteral("ExecMainStatus")) << '\n';
    return Ran;
}

#endif

}  // namespace

std::optional<DailyTime> parseDailyTime(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d\\d)$"));
    const auto m = pattern.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const DailyTime t{m.captured(1).toInt(), m.captured(2).toInt()};
    if (t.hour > 23 || t.minute > 59) return std::nullopt;
    return t;
}

QString userUnitFolder() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/systemd/user");
}

QStringList dailyRunCommand(const QString& program, const QStringList& batchOptions) {
    return QStringList{program, QStringLiteral("batch"), QStringLiteral("--save"),
                       QStringLiteral("--resume"), QStringLiteral("--notify")} +
           batchOptions;
}

std::optional<QString> unitProgramRefusal(const QString& program) {
    // systemd refuses such a program's name ("Executable name contains special characters"),
    // however it is quoted: the timer would start a service that cannot run.
    for (const QChar c : program) {
        if (c.category() == QChar::Other_Control) return QStringLiteral("a control character");
        if (c == u'"' || c == u'\'' || c == u'\\') return QStringLiteral("the character ") + c;
    }
    return std::nullopt;
}

QString serviceUnit(const QStringList& command, const QString& dataFolder) {
    QStringList words;
    for (qsizetype i = 0; i < command.size(); ++i)
        words.append(unitWord(command[i], i == 0 ? UnitPlace::Program : UnitPlace::Argument));
    QString unit = QStringLiteral(
        "[Unit]\n"
        "Description=Zorvan daily batch query of the saved domains\n"
        "After=network-online.target\n"
        "Wants=network-online.target\n"
        "\n"
        "[Service]\n"
        "Type=oneshot\n");
    if (!dataFolder.isEmpty())
        unit += QStringLiteral("Environment=") +
                unitWord(QStringLiteral("ZORVAN_HOME=") + dataFolder, UnitPlace::Environment) +
                u'\n';
    unit += QStringLiteral("ExecStart=") + words.join(u' ') + u'\n';
    return unit;
}

QString timerUnit(const DailyTime& time) {
    const QString at = clockText(time);
    return QStringLiteral(
               "[Unit]\n"
               "Description=Zorvan daily batch query at %1\n"
               "\n"
               "[Timer]\n"
               "OnCalendar=*-*-* %1:00\n"
               // A run missed while the computer was off or asleep happens at the next start.
               "Persistent=true\n"
               // A few minutes' spread, so many desktops do not ask the services at one instant.
               "RandomizedDelaySec=5min\n"
               "\n"
               "[Install]\n"
               "WantedBy=timers.target\n")
        .arg(at);
}

QString crontabLine(const DailyTime& time, const QStringList& command, const QString& dataFolder) {
    QStringList words;
    // Only the value is quoted: a quoted whole word is no assignment to sh, but a command name.
    if (!dataFolder.isEmpty()) words.append(QStringLiteral("ZORVAN_HOME=") + shellWord(dataFolder));
    for (const QString& w : command) words.append(shellWord(w));
    return QStringLiteral("%1 %2 * * * ").arg(time.minute).arg(time.hour) + words.join(u' ');
}

QString windowsArgument(const QString& word) {
    if (!word.isEmpty() && isPlain(word)) return word;
    // Backslashes are literal except before a quote: those, and the ones before the closing
    // quote, are doubled.
    QString quoted = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (const QChar c : word) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted += QString(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\') + c;
        backslashes = 0;
    }
    return quoted + QString(backslashes * 2, u'\\') + u'"';
}

std::optional<QString> taskRefusal(const QStringList& command, const QString& dataFolder) {
    const QStringList words = dataFolder.isEmpty() ? command : command + QStringList{dataFolder};
    for (const QString& w : words) {
        if (w.contains(u'%'))
            return QStringLiteral("Task Scheduler would expand the \"%\" in ") + w;
        if (!dataFolder.isEmpty() && w.contains(u'"'))
            return QStringLiteral("cmd, which sets ZORVAN_HOME for the task, takes no quote in ") +
                   w;
    }
    return std::nullopt;
}

QStringList taskCreateArguments(const DailyTime& time, const QStringList& command,
                                const QString& dataFolder) {
    QStringList words;
    for (const QString& w : command) words.append(windowsArgument(w));
    QString run = words.join(u' ');
    // A task has no environment of its own: cmd sets it, then starts the run.
    if (!dataFolder.isEmpty())
        run = QStringLiteral("cmd /d /c \"set \"ZORVAN_HOME=%1\"&& %2\"").arg(dataFolder, run);
    const QString at = clockText(time);
    return {QStringLiteral("/Create"), QStringLiteral("/F"),
            QStringLiteral("/TN"),     TaskName,
            QStringLiteral("/SC"),     QStringLiteral("DAILY"),
            QStringLiteral("/ST"),     at,
            QStringLiteral("/TR"),     run};
}

int runSchedule(const Invocation& invocation, Console& console) {
    const QStringList& arguments = invocation.arguments;
    if (arguments.isEmpty()) return scheduleStatus(console);
    if (arguments == QStringList{QStringLiteral("off")}) return scheduleOff(console);
    if (arguments.first() == QStringLiteral("daily") && arguments.size() >= 2) {
        if (const auto time = parseDailyTime(arguments[1]))
            return scheduleDaily(*time, arguments.mid(2), console);
        console.fail(QStringLiteral("schedule: the time must be HH:MM, 00:00 to 23:59"));
        return UsageError;
    }
    console.fail(
        QStringLiteral("usage: zorvan-cli schedule [daily HH:MM [-- BATCH OPTIONS] | off]"));
    return UsageError;
}

}  // namespace zorvan::cli
