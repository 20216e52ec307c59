// Counts read from stored figure texts, and the drops found between two of them.
#include "fuzzcheck.h"
#include "history/trends.h"

using namespace zorvan;

namespace {

QString withThousands(qint64 n) {
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, u',');
    return digits;
}

void checkCount(const QString& text) {
    const auto count = countFromText(text);
    bool hasDigit = false;
    for (QChar c : text) hasDigit = hasDigit || c.isDigit();
    if (!hasDigit) FUZZ_CHECK(!count);
    // Words around a count do not change it.
    FUZZ_CHECK(countFromText(QStringLiteral("约") + text) == count);
    FUZZ_CHECK(countFromText(text + QStringLiteral("条结果")) == count);
    if (!count) return;
    FUZZ_CHECK(*count >= 0 && *count <= LargestCount);
    FUZZ_CHECK(countFromText(QString::number(*count)) == count);
    FUZZ_CHECK(countFromText(withThousands(*count)) == count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string first = in.ConsumeRandomLengthString(64);
    const QString before = QString::fromUtf8(first.data(), qsizetype(first.size()));
    const QString now = QString::fromUtf8(fuzz::remainingBytes(in));
    checkCount(before);
    checkCount(now);

    StoredRecord previous;
    previous.date = QStringLiteral("2026-12-7");
    FigureValues current;
    for (const FigureInfo& info : figureTable()) {
        previous.values[info.figure] = before;
        current[info.figure] = now;
    }
    const auto from = countFromText(before), to = countFromText(now);
    const QList<FigureDrop> drops = findDrops(current, previous);
    // Either every count fell or none did: they all hold the same texts.
    FUZZ_CHECK(drops.isEmpty() || drops.size() == 14);
    for (const FigureDrop& drop : drops) {
        FUZZ_CHECK(isCount(drop.figure));
        FUZZ_CHECK(from && to && drop.from == *from && drop.to == *to);
        FUZZ_CHECK(drop.from >= SmallestComparedCount && drop.to < drop.from);
        FUZZ_CHECK(drop.percent() >= 20 && drop.percent() <= 100);
    }
    return 0;
}
