// The command line of zorvan-cli: each command takes its own options and arguments, nothing else.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include "cli/cli.h"

using namespace zorvan::cli;

namespace {

std::optional<Invocation> parse(const QString& line, QString* error) {
    return parseArguments(line.split(u' ', Qt::SkipEmptyParts), error);
}

}  // namespace

// Each usage error names the word at fault; a single-dash word is neither a long option nor a
// bundle of short ones, and another command's option is unknown here.
TEST(Parser, UsageErrorsNameWhatIsWrong) {
    const QList<std::pair<const char*, const char*>> cases = {{"query a.com -x", "-x"},
                                                              {"query a.com -save", "-save"},
                                                              {"query -f json a.com", "-f"},
                                                              {"query a.com --frob=1", "--frob"},
                                                              {"history a.com --save", "--save"},
                                                              {"query a.com --save=1", "--save"},
                                                              {"query a.com --format", "--format"},
                                                              {"chart a.com", "--output"},
                                                              {"--format json query", "--format"},
                                                              {"query a.com -", "-"},
                                                              {"history a b", "history"},
                                                              {"batch a.com", "batch"},
                                                              {"query", "DOMAIN"}};
    for (const auto& [line, named] : cases) {
        QString error;
        EXPECT_FALSE(parse(QString::fromUtf8(line), &error)) << line;
        EXPECT_TRUE(error.contains(QString::fromUtf8(named)))
            << line << ": " << error.toStdString();
    }
}

TEST(Parser, ARepeatedOptionIsTold) {
    QString error;
    const auto twice =
        parse(QStringLiteral("query a.com --format json --save --format=csv"), &error);
    ASSERT_TRUE(twice) << error.toStdString();
    EXPECT_EQ(twice->value(Option::Format), QStringLiteral("csv"));
    EXPECT_EQ(twice->notes,
              QStringList{QStringLiteral("--format is given 2 times; the last stands: csv")});
}

TEST(Parser, OptionsAfterTheCommandWordsAfterDoubleDashAndHelp) {
    QString error;
    const auto query =
        parse(QStringLiteral("query --format=json a.com --drop-threshold -5 -- -x --save"), &error);
    ASSERT_TRUE(query) << error.toStdString();
    EXPECT_EQ(query->arguments.join(u' '), QStringLiteral("a.com -x --save"));
    EXPECT_EQ(query->options.size(), 2);
    EXPECT_EQ(query->value(Option::DropThreshold), QStringLiteral("-5"));
    for (const char* line : {"help chart", "chart --help", "chart a.com -h"}) {
        const auto help = parse(QString::fromUtf8(line), &error);
        ASSERT_TRUE(help) << line;
        EXPECT_EQ(help->command + u' ' + help->arguments.join(u' '), QStringLiteral("help chart"))
            << line;
    }
}

namespace {

struct InProcess {
    int status = -1;
    QString out;
    QString err;
};

// The command called in this process, as the program calls it once started.
InProcess runInProcess(const QString& line) {
    InProcess ran;
    QTextStream out(&ran.out), err(&ran.err);
    Console console{out, err};
    ran.status = runArguments(line.split(u' ', Qt::SkipEmptyParts), console);
    out.flush();
    err.flush();
    return ran;
}

}  // namespace

// Each command's usage comes from the options it takes, so it offers only what it accepts.
TEST(Parser, UsageShowsWhatTheCommandTakes) {
    const InProcess help = runInProcess(QStringLiteral("help check"));
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(
        u"Usage: zorvan-cli check DOMAIN [--format text|json] [--proxies FILE] [--proxy N]\n"))
        << help.out.toStdString();
    EXPECT_FALSE(help.out.contains(u"csv"));
    const InProcess refused = runInProcess(QStringLiteral("check a.com --format csv"));
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(u"check's --format takes text or json"));
}

// What batch would refuse is refused when the daily run is set, before any unit is written.
TEST(Parser, ScheduleRefusesWhatBatchWouldRefuse) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    for (const char* options :
         {"--format xml", "--jobs 0", "--shard 3/2", "--drop-threshold 0", "a.com"}) {
        const InProcess ran =
            runInProcess(QStringLiteral("schedule daily 06:30 -- ") + QString::fromLatin1(options));
        EXPECT_EQ(ran.status, 2) << options;
        EXPECT_TRUE(ran.err.contains(u"batch would refuse")) << ran.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(config.filePath(QStringLiteral("systemd"))));
    qunsetenv("XDG_CONFIG_HOME");
}
