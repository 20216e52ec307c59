// rules: the service rules in effect, for a user to start a rules.json from.
#include "cli/cli.h"
#include "engines/rules.h"

namespace zorvan::cli {

void reportRuleProblems(Console& console) {
    QStringList told;
    for (const RulesProblem& problem : effectiveRules().problems)
        told.append(describeProblem(problem));
    console.failFirst(told);
}

int runRules(const Invocation&, Console& console) {
    const LoadedRules loaded = effectiveRules();
    console.out << rulesJson(loaded.rules, loaded.intervals);
    return Ran;
}

}  // namespace zorvan::cli
