#include "engines/countrows.h"

#include "fetch/fetch.h"
#include "fetch/services.h"

namespace zorvan {
namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }
}  // namespace

const QList<CountRow>& windowBatchRows() {
    static const QList<CountRow> rows = {
        {S("W1"), Role::ChinaRank, S("/overview/Info.do?url="), S("_font_y2\">"), S("<"), S("Label13"), {}, {}},
        {S("W2"), Role::Alexa, S("/siteinfo/"), S("margin-bottom:-2px;\"/>"), S("</a></div>"), S("Label14"), {}, {}},
        {S("W3"), Role::SogouRank, S("/sogourank.php?ur="), S("sogourank="), QString(), S("Label16"), {}, {}},
        {S("W4"), Role::Soso, S("/q?w=link%3A"), S("搜索到"), S("项"), S("Labelfxss"), {}, {}},
        {S("W5"), Role::Bing, S("/search?q=site%3A"), S("结果(共"), S("条"), S("Labelslby"), {}, {}},
        {S("W6"), Role::Yahoo, S("/search?bwm=p&p="), S("收录的网页： 共 <strong>"), S("</strong> 条"), S("Labelslyh"), {}, {}},
    };
    return rows;
}

const QList<CountRow>& engineBatchRows() {
    static const QList<CountRow> rows = {
        {S("E1"), Role::Baidu, S("/s?wd=domain%3A"), S("找到相关网页"), S("篇"), S("Labelfxbd"), S("相关结果"), S("个")},
        {S("E2"), Role::Bing, S("/search?q=link%3A"), S("结果(共"), S("条"), S("Labelfxby"), {}, {}},
        {S("E3"), Role::Baidu, S("/s?wd=site%3A"), S("找到相关网页"), S("篇"), S("Labelslbd"), S("相关结果"), S("个")},
        {S("E4"), Role::Google, S("/search?hl=zh-CN&q=site%3A"), S("找到"), S("条"), S("Labelslgg"), {}, {}},
        {S("E5"), Role::Google, S("/search?hl=zh-CN&q=link%3A"), S("找到"), S("条"), S("Labelfxgg"), {}, {}},
        {S("E6"), Role::Soso, S("/q?w=site%3A"), S("搜索到"), S("项"), S("Labelslss"), {}, {}},
    };
    return rows;
}

const QList<CountRow>& youdaoBatchRows() {
    static const QList<CountRow> rows = {
        {S("Y1"), Role::Youdao, S("/search?q=site%3A"), S("共"), S("条"), S("Labelslyd"), {}, {}},
        {S("Y2"), Role::Youdao, S("/search?q=inlink%3A"), S("共"), S("条"), S("Labelfxyd"), {}, {}},
    };
    return rows;
}

const QList<CountRow>& sogouYahooBatchRows() {
    static const QList<CountRow> rows = {
        {S("S1"), Role::Sogou, S("/web?query=site%3A"), S("找到"), S("<!--resultbarn"), S("Labelslsg"), {}, {}},
        {S("S2"), Role::Yahoo, S("/search?bwm=i&p="), S("链向该地址的网页： 共 <strong>"), S("</strong> 条"), S("Labelfxyh"), {}, {}},
        {S("S3"), Role::Sogou, S("/web?query=link%3A"), S("找到"), S("<!--resultbarn"), S("Labelfxsg"), {}, {}},
    };
    return rows;
}

QString RunCountRow(const CountRow& row, const QString& domain) {
    const QString prefix = serviceBase(row.role) + row.prefix;
    QString value = GetPageValue(prefix, domain, row.start, row.end);
    if (value == NotFound && !row.fallbackStart.isEmpty())
        value = GetPageValue(prefix, domain, row.fallbackStart, row.fallbackEnd);
    return value;
}

}  // namespace zorvan
