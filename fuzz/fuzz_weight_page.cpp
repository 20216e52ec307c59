// The Baidu weight page (code page 936): its five figures and the rows of its keyword list.
#include "fuzzcheck.h"
#include "net/fetch.h"
#include "tools/keywordrank.h"
#include "tools/weight.h"

using namespace zorvan;

namespace {

// A figure is a value of at most MaxValueLength characters inside the label's fixed words.
void checkFramed(const std::optional<QString>& figure, const QString& before,
                 const QString& after = QString()) {
    if (!figure) return;
    FUZZ_CHECK(figure->startsWith(before) && figure->endsWith(after));
    FUZZ_CHECK(figure->size() - before.size() - after.size() <= MaxValueLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray page(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = BytesToText(page, QStringLiteral("gb2312"));

    const WeightFigures figures = cutWeightFigures(text);
    checkFramed(figures.weight, QString());
    checkFramed(figures.count, QString());
    checkFramed(figures.countLine, QStringLiteral("共检查到"), QStringLiteral("条"));
    checkFramed(figures.traffic, QStringLiteral("百度能给该站带来："), QStringLiteral("/IP"));
    checkFramed(figures.snapshot, QStringLiteral("百度快照："));
    checkFramed(figures.indexed, QStringLiteral("百度收录共："));
    FUZZ_CHECK(figures.count.has_value() == figures.countLine.has_value());
    const int rows = rankingRowCount(figures.count.value_or(WeightInitial::Count));
    FUZZ_CHECK(rows >= 0 && rows <= RankingRowLimit);

    for (const RankingCells& row : cutRankingRows(text)) {
        checkFramed(row[0], QString());
        checkFramed(row[1], QStringLiteral("第"), QStringLiteral("位"));
        checkFramed(row[2], QString(), QStringLiteral("次/日"));
        checkFramed(row[3], QString());
        checkFramed(row[4], QString());
    }
    return 0;
}
