// The value cut of a service page: decoded as code page 936, then as the charset it declares,
// then cut between the markers of one of the built-in rules.
#include "engines/rules.h"
#include "fuzzcheck.h"
#include "net/fetch.h"
#include "net/valuefetch.h"

using namespace zorvan;

namespace {

// Every marker pair the built-in rules cut with.
QList<std::pair<QString, QString>> markerPairs() {
    QList<std::pair<QString, QString>> pairs;
    for (const FigureInfo& info : figureTable()) {
        const FigureRule& rule = builtinRules()[info.figure];
        pairs.append({rule.start, rule.end});
        if (!rule.fallbackStart.isEmpty()) pairs.append({rule.fallbackStart, rule.fallbackEnd});
        if (!rule.rankStart.isEmpty()) pairs.append({rule.rankStart, rule.rankEnd});
    }
    return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QList<std::pair<QString, QString>> pairs = markerPairs();
    FuzzedDataProvider in(data, size);
    const auto& [start, end] = fuzz::pick(in, pairs);
    const QByteArray page = fuzz::remainingBytes(in);

    const QString asGb = BytesToText(page, QStringLiteral("gb2312"));
    // Every whole character decodes to something (a lead byte that ends the page may be dropped):
    // a decoder that gave up would read as "no value".
    FUZZ_CHECK(!asGb.isEmpty() || page.size() <= 1);
    QString text = asGb;
    if (const auto declared = declaredCharset(asGb)) {
        text = BytesToText(page, valueCharset(*declared));
        FUZZ_CHECK(!text.isEmpty());
    }

    const auto value = cutValue(text, start, end);
    const qsizetype at = text.indexOf(start);
    const QString after = at < 0 ? QString() : text.mid(at + start.size());
    if (!value) {
        // Only a missing marker, or one followed by nothing or by itself, gives no value.
        FUZZ_CHECK(at < 0 || after.isEmpty() || after.startsWith(start));
        return 0;
    }
    FUZZ_CHECK(value->size() <= MaxValueLength);
    FUZZ_CHECK(!value->contains(u','));
    // The value is what follows the first start marker, commas removed.
    FUZZ_CHECK(at >= 0);
    FUZZ_CHECK(QString(after).remove(u',').startsWith(*value));
    return 0;
}
