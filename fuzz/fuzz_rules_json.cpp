// rules.json as a user writes it: the rules in effect stay usable whatever the file holds, and
// printing them gives a file that reads back as the same rules.
#include "engines/rules.h"
#include "fuzzcheck.h"

using namespace zorvan;

namespace {

bool usableAddress(const QString& url) {
    return url.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

// Without a second wording its end marker is never used.
RuleSet inUse(RuleSet rules) {
    for (const FigureInfo& info : figureTable())
        if (rules[info.figure].fallbackStart.isEmpty()) rules[info.figure].fallbackEnd.clear();
    return rules;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const LoadedRules loaded = applyRulesFile(json, QStringLiteral("rules.json"));
    for (const RulesProblem& problem : loaded.problems) {
        FUZZ_CHECK(problem.file == QStringLiteral("rules.json"));
        FUZZ_CHECK(!describeProblem(problem).isEmpty() &&
                   !describeProblemInChinese(problem).isEmpty());
        if (problem.kind == RulesProblem::Syntax)
            FUZZ_CHECK(problem.offset >= 0 && problem.offset <= json.size());
    }
    for (const FigureInfo& info : figureTable()) {
        const FigureRule& rule = loaded.rules[info.figure];
        FUZZ_CHECK(usableAddress(rule.url) && !rule.start.isEmpty());
        if (info.figure == Figure::PageRank)
            FUZZ_CHECK(usableAddress(rule.rankUrl) && !rule.rankStart.isEmpty());
    }

    const LoadedRules again =
        applyRulesFile(rulesJson(loaded.rules).toUtf8(), QStringLiteral("printed"));
    FUZZ_CHECK(again.problems.isEmpty());
    FUZZ_CHECK(inUse(again.rules) == inUse(loaded.rules));
    return 0;
}
