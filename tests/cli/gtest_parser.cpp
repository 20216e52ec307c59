// The command line of zorvan-cli: each command takes its own options and arguments, nothing else.
#include <gtest/gtest.h>

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
    EXPECT_EQ(twice->value(QStringLiteral("--format")), QStringLiteral("csv"));
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
    EXPECT_EQ(query->value(QStringLiteral("--drop-threshold")), QStringLiteral("-5"));
    for (const char* line : {"help chart", "chart --help", "chart a.com -h"}) {
        const auto help = parse(QString::fromUtf8(line), &error);
        ASSERT_TRUE(help) << line;
        EXPECT_EQ(help->command + u' ' + help->arguments.join(u' '), QStringLiteral("help chart"))
            << line;
    }
}
