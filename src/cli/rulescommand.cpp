// rules: the service rules in effect, for a user to start a rules.json from.
#include "cli/cli.h"
#include "engines/rules.h"

namespace zorvan::cli {

void reportRuleProblems(Console& console) {
    for (const RulesProblem& problem : effectiveRules().problems) console.fail(describeProblem(problem));
}

int runRules(const Invocation& invocation, Console& console) {
    if (!invocation.arguments.isEmpty()) {
        console.fail(QStringLiteral("rules takes no argument"));
        return UsageError;
    }
    console.out << rulesJson(effectiveRules().rules);
    return Ran;
}

}  // namespace zorvan::cli
