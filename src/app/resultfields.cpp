#include "app/resultfields.h"

namespace zorvan {
namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }
}  // namespace

const QList<ResultField>& recordOrderFields() {
    static const QList<ResultField> fields = {
        {S("Label13"), S("百度快照")},         {S("Label14"), S("Alexa Rank")},
        {S("Label15"), S("Google PageRank")},  {S("Label16"), S("Sogou Rank")},
        {S("Labelslbd"), S("百度 收录情况")},  {S("Labelslgg"), S("谷歌 收录情况")},
        {S("Labelslyh"), S("雅虎 收录情况")},  {S("Labelslsg"), S("搜狗 收录情况")},
        {S("Labelslss"), S("SOSO 收录情况")},  {S("Labelslby"), S("必应 收录情况")},
        {S("Labelslyd"), S("有道 收录情况")},  {S("Labelfxbd"), S("百度 反向链接")},
        {S("Labelfxgg"), S("谷歌 反向链接")},  {S("Labelfxyh"), S("雅虎 反向链接")},
        {S("Labelfxsg"), S("搜狗 反向链接")},  {S("Labelfxss"), S("SOSO 反向链接")},
        {S("Labelfxby"), S("必应 反向链接")},  {S("Labelfxyd"), S("有道 反向链接")},
    };
    return fields;
}

QStringList recordOrderNames() {
    QStringList names;
    for (const ResultField& f : recordOrderFields()) names.append(f.name);
    return names;
}

QStringList resetOrderNames() {
    return {S("Label13"),   S("Label14"),   S("Label15"),   S("Label16"),   S("Labelslbd"),
            S("Labelfxbd"), S("Labelslgg"), S("Labelfxgg"), S("Labelslyh"), S("Labelfxyh"),
            S("Labelslsg"), S("Labelslss"), S("Labelslby"), S("Labelslyd"), S("Labelfxsg"),
            S("Labelfxss"), S("Labelfxby"), S("Labelfxyd")};
}

QStringList baiduDetailFields() {
    return {S("Label84"), S("Label85"), S("Label86"), S("Label87"), S("Label88"), S("Label89")};
}

QStringList googleDetailFields() {
    return {S("Label28"), S("Label56"), S("Label27"), S("Label57"), S("Label74"), S("Label94")};
}

QStringList detailColumns() {
    return {S("今日收录"), S("一星期收录"), S("一月收录"), S("所有收录"), S("最新快照"), S("site:首页")};
}

}  // namespace zorvan
