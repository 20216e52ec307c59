#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zorvan::cli {

// A daily run: a systemd user timer and service, or a crontab line where no user service
// manager answers; on Windows a Task Scheduler task.
struct DailyTime {
    int hour = 0;
    int minute = 0;
};
// "6:30", "06:30"; nothing for another text.
std::optional<DailyTime> parseDailyTime(const QString& text);

inline const QString TimerUnitName = QStringLiteral("zorvan-batch.timer");
inline const QString ServiceUnitName = QStringLiteral("zorvan-batch.service");

// The user's unit folder: $XDG_CONFIG_HOME/systemd/user, ~/.config/systemd/user without it.
QString userUnitFolder();

// The command line a daily run executes: program batch --save --resume --notify plus the options.
QStringList dailyRunCommand(const QString& program, const QStringList& batchOptions);

// Why systemd would not run a program of that path (it takes no quote or backslash in one),
// or nothing.
std::optional<QString> unitProgramRefusal(const QString& program);

// The two unit files. dataFolder (ZORVAN_HOME at the time of scheduling) is carried into the
// service, so that the run reads the same domain list and history; empty leaves it out.
QString serviceUnit(const QStringList& command, const QString& dataFolder);
QString timerUnit(const DailyTime& time);
// "30 6 * * * /usr/bin/zorvan-cli batch --save --resume --notify ..." for 06:30.
QString crontabLine(const DailyTime& time, const QStringList& command, const QString& dataFolder);

// The Windows task, created and deleted through schtasks.
inline const QString TaskName = QStringLiteral("Zorvan daily batch");

// A word of a Windows command line, quoted so that CommandLineToArgvW gives it back unchanged.
QString windowsArgument(const QString& word);

// Why Task Scheduler could not run that command as written, or nothing: it expands "%NAME%" in a
// task's command, and a data folder goes through cmd, which takes no quote inside a word.
std::optional<QString> taskRefusal(const QStringList& command, const QString& dataFolder);

// The arguments of schtasks that create the daily task. dataFolder (ZORVAN_HOME at the time of
// scheduling) is set by cmd before the run; empty leaves it out.
QStringList taskCreateArguments(const DailyTime& time, const QStringList& command,
                                const QString& dataFolder);

}  // namespace zorvan::cli
