// rules: the service rules in effect, for a user to start a rules.json from.
#include "cli/cli.h"
#include "engines/rules.h"

namespace zorvan::cli {

void reportRuleProblems(Console& console) {
    // A generated file can hold a million problems: the first ones show what to mend.
    constexpr qsizetype shown = 20;
    const QList<RulesProblem> problems = effectiveRules().problems;
    for (qsizetype i = 0; i < std::min(shown, problems.size()); ++i)
        console.fail(describeProblem(problems[i]));
    if (problems.size() > shown)
        console.fail(QString::fromUtf8("… and %1 more").arg(problems.size() - shown));
}

int runRules(const Invocation&, Console& console) {
    const LoadedRules loaded = effectiveRules();
    console.out << rulesJson(loaded.rules, loaded.intervals);
    return Ran;
}

}  // namespace zorvan::cli
