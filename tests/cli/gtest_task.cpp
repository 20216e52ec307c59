#include <gtest/gtest.h>

#include "cli/schedule.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace zorvan::cli;

namespace {
const QStringList Command = {QStringLiteral("C:\\Program Files\\Zorvan\\zorvan-cli.exe"),
                             QStringLiteral("batch"),
                             QStringLiteral("--save"),
                             QStringLiteral("--list"),
                             QStringLiteral("C:\\my \"lists\"\\"),
                             QStringLiteral("a\\\\\"b"),
                             QString()};
}  // namespace

// The task runs exactly the words of the daily run: CommandLineToArgvW splits its command back.
TEST(Task, TheCommandLineGivesBackEveryWord) {
    const QStringList created = taskCreateArguments({6, 5}, Command, QString());
    ASSERT_EQ(created.mid(0, 9),
              (QStringList{QStringLiteral("/Create"), QStringLiteral("/F"), QStringLiteral("/TN"),
                           TaskName, QStringLiteral("/SC"), QStringLiteral("DAILY"),
                           QStringLiteral("/ST"), QStringLiteral("06:05"), QStringLiteral("/TR")}));
    const QString run = created.value(9);
    EXPECT_EQ(run,
              QStringLiteral("\"C:\\Program Files\\Zorvan\\zorvan-cli.exe\" batch --save --list "
                             "\"C:\\my \\\"lists\\\"\\\\\" \"a\\\\\\\\\\\"b\" \"\""));
#ifdef Q_OS_WIN
    int count = 0;
    wchar_t** split = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(run.utf16()), &count);
    ASSERT_NE(split, nullptr);
    QStringList words;
    for (int i = 0; i < count; ++i) words.append(QString::fromWCharArray(split[i]));
    LocalFree(split);
    EXPECT_EQ(words, Command);
#endif
    // A data folder is set by cmd, which takes no quote inside a word; "%" would be expanded.
    const QStringList plain = {Command.first(), QStringLiteral("batch")};
    EXPECT_EQ(taskCreateArguments({23, 59}, plain, QStringLiteral("D:\\zorvan data")).value(9),
              QStringLiteral("cmd /d /c \"set \"ZORVAN_HOME=D:\\zorvan data\"&& "
                             "\"C:\\Program Files\\Zorvan\\zorvan-cli.exe\" batch\""));
    EXPECT_FALSE(taskRefusal(plain, QStringLiteral("D:\\zorvan data")));
    EXPECT_TRUE(taskRefusal(Command, QStringLiteral("D:\\data")));
    EXPECT_TRUE(taskRefusal(plain + QStringList{QStringLiteral("50%")}, QString()));
}
