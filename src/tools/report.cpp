#include "tools/report.h"

#include <QStringList>
#include <algorithm>

#include "core/platform.h"

namespace zorvan {
namespace {

// Label and value together fill 19 columns before "反链"; the label ("谷歌: 收录") takes 6.
constexpr int alignedColumn = 19;
constexpr int labelWidth = 6;

QString engineLine(const QString& label, const QString& indexed, const QString& gap,
                   const QString& backlinks) {
    return label + QStringLiteral(": 收录") + indexed + gap + QStringLiteral("反链") + backlinks;
}

}  // namespace

int reportGap(const QString& indexedValue) {
    return std::max(0, alignedColumn - (labelWidth + int(indexedValue.size())));
}

QString reportCaption(const QString& domain) {
    return QStringLiteral("复制") + domain + QStringLiteral("结果");
}

QString BuildReport(const QString& domain, const FigureValues& figures, const QDateTime& when) {
    QStringList lines;
    lines << QStringLiteral("有关") + domain + QStringLiteral("的SEO数据")
          << QStringLiteral("查询时间:") + generalDateTime(when)
          << QStringLiteral("谷歌PR:") + figures[Figure::PageRank]
          << QStringLiteral("Alexa排名:") + figures[Figure::AlexaRank]
          << QStringLiteral("搜狗评分:") + figures[Figure::SogouRank];
    for (const EngineInfo& e : engineTable()) {
        const QString& indexed = figures[indexedFigure(e.engine)];
        // Baidu's line keeps six blanks whatever its value's length.
        const int gap = e.engine == Engine::Baidu ? 6 : reportGap(indexed);
        lines << engineLine(e.shortName, indexed, QString(gap, u' '),
                            figures[backlinksFigure(e.engine)]);
    }
    lines << QStringLiteral("以上数据通过Zorvan站长工具查询");
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace zorvan
