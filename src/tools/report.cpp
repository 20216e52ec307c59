#include "tools/report.h"

#include <QStringList>
#include <algorithm>

#include "fetch/platform.h"

namespace zorvan {
namespace {

// Engine lines after Baidu's: label, indexed-pages field, backlinks field.
struct EngineLine {
    const char* label;
    const char* indexed;
    const char* backlinks;
};

constexpr EngineLine engineLines[] = {
    {"谷歌", "Labelslgg", "Labelfxgg"}, {"雅虎", "Labelslyh", "Labelfxyh"},
    {"搜狗", "Labelslsg", "Labelfxsg"}, {"搜搜", "Labelslss", "Labelfxss"},
    {"必应", "Labelslby", "Labelfxby"}, {"有道", "Labelslyd", "Labelfxyd"},
};

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

QString BuildReport(const QString& domain, const FieldReader& field, const QDateTime& when) {
    auto f = [&](const char* name) { return field(QString::fromLatin1(name)); };
    QStringList lines;
    lines << QStringLiteral("有关") + domain + QStringLiteral("的SEO数据")
          << QStringLiteral("查询时间:") + generalDateTime(when)
          << QStringLiteral("谷歌PR:") + f("Label15")
          << QStringLiteral("Alexa排名:") + f("Label14")
          << QStringLiteral("搜狗评分:") + f("Label16")
          // Baidu's line keeps six blanks whatever its value's length.
          << engineLine(QStringLiteral("百度"), f("Labelslbd"), QString(6, u' '), f("Labelfxbd"));
    for (const EngineLine& e : engineLines) {
        const QString indexed = f(e.indexed);
        lines << engineLine(QString::fromUtf8(e.label), indexed, QString(reportGap(indexed), u' '),
                            f(e.backlinks));
    }
    lines << QStringLiteral("以上数据通过Zorvan站长工具查询");
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace zorvan
