#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

// What must hold for every input: a failure is reported like a sanitizer's, with the input saved
// by libFuzzer as a crash to add to the corpus.
#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: does not hold: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

namespace fuzz {

// The choices of an input are read from its end, so that a seed is the real file or page with a
// few bytes after it; the rest is the file or page.
inline QByteArray remainingBytes(FuzzedDataProvider& in) {
    const std::string rest = in.ConsumeRemainingBytesAsString();
    return QByteArray(rest.data(), qsizetype(rest.size()));
}

template <typename List>
const auto& pick(FuzzedDataProvider& in, const List& list) {
    return list[in.ConsumeIntegralInRange<size_t>(0, std::size(list) - 1)];
}

}  // namespace fuzz
