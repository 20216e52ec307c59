#pragma once

#include <functional>
#include <optional>

#include "net/sequencer.h"
#include "standinfixture.h"

namespace zorvan::test {

// Runs one job on a fresh sequencer (with a deadline, as one query) and serves events until it
// has ended; what the job handed to done. The wait is what the program itself never does.
template <typename Result>
Result awaitChain(
    const std::function<void(const Chain&, std::function<void(const Result&)>)>& start,
    std::optional<int> deadlineMs = std::nullopt) {
    RequestSequencer requests;
    requests.reset(deadlineMs);
    Result result{};
    requests.run(QStringLiteral("test"),
                 {[&](const Chain& chain) { start(chain, [&](const Result& r) { result = r; }); }});
    waitFor([&] { return requests.isIdle(); }, 120000);
    return result;
}

inline FetchResult awaitFetch(const QString& url) {
    return awaitChain<FetchResult>([&](const Chain& chain, auto done) { chain.fetch(url, done); });
}

inline ValueResult awaitValue(const ValueRule& rule) {
    return awaitChain<ValueResult>(
        [&](const Chain& chain, auto done) { fetchValue(chain, rule, done); });
}

}  // namespace zorvan::test
