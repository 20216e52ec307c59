// Reading rules.json over the built-in rules.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "core/services.h"
#include "engines/rules.h"

using namespace zorvan;

namespace {

const QString File = QStringLiteral("/data/rules.json");

QList<RulesProblem::Kind> kinds(const LoadedRules& loaded) {
    QList<RulesProblem::Kind> out;
    for (const RulesProblem& p : loaded.problems) {
        out.append(p.kind);
        EXPECT_TRUE(describeProblem(p).startsWith(File)) << describeProblem(p).toStdString();
        EXPECT_FALSE(describeProblemInChinese(p).isEmpty());
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(Rules, OnlyTheFieldsGivenChangeAndWhatCannotBeUsedIsNamed) {
    const LoadedRules loaded = applyRulesFile(QStringLiteral(R"({
        "indexed.bing": {"start": "<b>", "end": "</b>"},
        "pagerank": {"rank_url": "https://{host:google}/r?u={frame}&d={domain}"},
        "indexed.gogle": {"start": "x"},
        "indexed.google": {"begin": "x", "start": "", "url": "ftp://x/{domain}"},
        "alexa_rank": {"url": "http://{host:alexia}/{domain}", "end": 7, "fallback_start": "A"},
        "sogou_rank": {"rank_start": "x"}
    })")
                                                  .toUtf8(),
                                              File);
    RuleSet expected = builtinRules();
    expected[Figure::IndexedBing].start = QStringLiteral("<b>");
    expected[Figure::IndexedBing].end = QStringLiteral("</b>");
    expected[Figure::PageRank].rankUrl =
        QStringLiteral("https://{host:google}/r?u={frame}&d={domain}");
    expected[Figure::AlexaRank].fallbackStart = QStringLiteral("A");
    EXPECT_EQ(loaded.rules, expected);
    EXPECT_EQ(kinds(loaded),
              (QList<RulesProblem::Kind>{RulesProblem::UnknownRule, RulesProblem::UnknownKey,
                                         RulesProblem::UnknownKey, RulesProblem::NotText,
                                         RulesProblem::EmptyMarker, RulesProblem::BadScheme,
                                         RulesProblem::BadPlaceholder}));
}

TEST(Rules, ASyntaxErrorKeepsEveryBuiltInAndTellsWhere) {
    const LoadedRules loaded = applyRulesFile(
        QByteArray(
            "\xEF\xBB\xBF{\n  \"indexed.bing\": {\"start\": \"\xE6\x89\xBE\" \"end\": \"x\"}\n}"),
        File);
    EXPECT_EQ(loaded.rules, builtinRules());
    ASSERT_EQ(kinds(loaded), QList<RulesProblem::Kind>{RulesProblem::Syntax});
    EXPECT_EQ(loaded.problems[0].line, 2);
    // Column 33 opens the "end" that lacks a comma before it; the parser stops just inside it.
    EXPECT_EQ(loaded.problems[0].column, 34);
    EXPECT_TRUE(describeProblem(loaded.problems[0]).startsWith(File + QStringLiteral(":2:34:")));
    // A file cut off inside a string is placed at its end, not past it.
    const LoadedRules cut = applyRulesFile("{\n  \"indexed.b", File);
    ASSERT_EQ(kinds(cut), QList<RulesProblem::Kind>{RulesProblem::Syntax});
    EXPECT_EQ(cut.problems[0].offset, 14);
    EXPECT_EQ(cut.problems[0].column, 13);

    EXPECT_EQ(kinds(applyRulesFile("[]", File)),
              QList<RulesProblem::Kind>{RulesProblem::NotAnObject});
}

// What `zorvan-cli rules` prints is a rules file that changes nothing.
TEST(Rules, PrintedRulesReadBackAsTheBuiltIns) {
    const LoadedRules loaded = applyRulesFile(rulesJson(builtinRules()).toUtf8(), File);
    EXPECT_TRUE(loaded.problems.isEmpty());
    EXPECT_EQ(loaded.rules, builtinRules());

    // A built-in second wording the user removed stays removed through a printed file.
    const LoadedRules removed =
        applyRulesFile(R"({"indexed.baidu": {"fallback_start": ""}})", File);
    ASSERT_TRUE(removed.problems.isEmpty());
    EXPECT_EQ(applyRulesFile(rulesJson(removed.rules).toUtf8(), File)
                  .rules[Figure::IndexedBaidu]
                  .fallbackStart,
              QString());
}

// A rule given twice is told with the one that stands; a file of another JSON value is no object.
TEST(Rules, ARuleGivenTwiceIsToldAndAnotherValueIsNoObject) {
    const LoadedRules twice =
        applyRulesFile(R"({"indexed.bing": {"start": "<a>"}, "x": {"indexed.bing": 1},
        "indexed.bing": {"start": "<b>"}, "indexed.bin\u0067": {"start": "<c>"}})",
                       File);
    EXPECT_EQ(twice.rules[Figure::IndexedBing].start, QStringLiteral("<c>"));
    ASSERT_EQ(kinds(twice),
              (QList<RulesProblem::Kind>{RulesProblem::UnknownRule, RulesProblem::DuplicateRule}));
    EXPECT_TRUE(describeProblem(twice.problems.first())
                    .endsWith(QStringLiteral("3 times; the last one is used")));
    for (const char* other : {"null", " [1, 2]", "7"})
        EXPECT_EQ(kinds(applyRulesFile(other, File)),
                  QList<RulesProblem::Kind>{RulesProblem::NotAnObject})
            << other;
}

// Per-role gaps: kept for known roles in range, the rest named; printed, they read back the same.
TEST(Rules, IntervalsKeepKnownRolesAndReadBackFromThePrintedFile) {
    const LoadedRules loaded =
        applyRulesFile(R"({"intervals": {"baidu": 3000, "google": 0, "gogle": 5,
        "bing": -1, "soso": 1.5, "yahoo": "9", "sogou": 600001}})",
                       File);
    EXPECT_EQ(loaded.intervals,
              (RoleIntervals{{QStringLiteral("baidu"), 3000}, {QStringLiteral("google"), 0}}));
    EXPECT_EQ(kinds(loaded),
              (QList<RulesProblem::Kind>{RulesProblem::UnknownKey, RulesProblem::BadInterval,
                                         RulesProblem::BadInterval, RulesProblem::BadInterval,
                                         RulesProblem::BadInterval}));
    const LoadedRules again =
        applyRulesFile(rulesJson(loaded.rules, loaded.intervals).toUtf8(), File);
    EXPECT_TRUE(again.problems.isEmpty());
    EXPECT_EQ(again.intervals, loaded.intervals);
    EXPECT_EQ(kinds(applyRulesFile(R"({"intervals": 1000})", File)),
              QList<RulesProblem::Kind>{RulesProblem::NotAnObject});
}

// rules.json is looked at when a run starts: an edit applies to the next run, never to one under
// way (a quick link follows the rule its query used).
TEST(Rules, AnEditAppliesFromTheNextRun) {
    QTemporaryDir home;
    qputenv("ZORVAN_HOME", home.path().toLocal8Bit());
    reloadDataDirectory();
    const auto write = [&](const char* start) {
        QFile file(home.filePath(QStringLiteral("rules.json")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(R"({"indexed.bing": {"start": ")") + start + "\"}}");
    };
    write("<a>");
    EXPECT_EQ(rulesForNewRun().rules[Figure::IndexedBing].start, QStringLiteral("<a>"));
    write("<bb>");
    EXPECT_EQ(effectiveRules().rules[Figure::IndexedBing].start, QStringLiteral("<a>"));
    EXPECT_EQ(rulesForNewRun().rules[Figure::IndexedBing].start, QStringLiteral("<bb>"));
    qunsetenv("ZORVAN_HOME");
    reloadDataDirectory();
}
