#include "engines/countrows.h"

#include "core/services.h"
#include "net/fetch.h"
#include "vocab/text.h"

namespace zorvan {
namespace {}  // namespace

const QList<CountRow>& windowBatchRows() {
    static const QList<CountRow> rows = {
        {S("W1"),
         Role::ChinaRank,
         S("/overview/Info.do?url="),
         S("_font_y2\">"),
         S("<"),
         Figure::BaiduSnapshot,
         {},
         {}},
        {S("W2"),
         Role::Alexa,
         S("/siteinfo/"),
         S("margin-bottom:-2px;\"/>"),
         S("</a></div>"),
         Figure::AlexaRank,
         {},
         {}},
        {S("W3"),
         Role::SogouRank,
         S("/sogourank.php?ur="),
         S("sogourank="),
         QString(),
         Figure::SogouRank,
         {},
         {}},
        {S("W4"),
         Role::Soso,
         S("/q?w=link%3A"),
         S("搜索到"),
         S("项"),
         Figure::BacklinksSoso,
         {},
         {}},
        {S("W5"),
         Role::Bing,
         S("/search?q=site%3A"),
         S("结果(共"),
         S("条"),
         Figure::IndexedBing,
         {},
         {}},
        {S("W6"),
         Role::Yahoo,
         S("/search?bwm=p&p="),
         S("收录的网页： 共 <strong>"),
         S("</strong> 条"),
         Figure::IndexedYahoo,
         {},
         {}},
    };
    return rows;
}

const QList<CountRow>& engineBatchRows() {
    static const QList<CountRow> rows = {
        {S("E1"), Role::Baidu, S("/s?wd=domain%3A"), S("找到相关网页"), S("篇"),
         Figure::BacklinksBaidu, S("相关结果"), S("个")},
        {S("E2"),
         Role::Bing,
         S("/search?q=link%3A"),
         S("结果(共"),
         S("条"),
         Figure::BacklinksBing,
         {},
         {}},
        {S("E3"), Role::Baidu, S("/s?wd=site%3A"), S("找到相关网页"), S("篇"), Figure::IndexedBaidu,
         S("相关结果"), S("个")},
        {S("E4"),
         Role::Google,
         S("/search?hl=zh-CN&q=site%3A"),
         S("找到"),
         S("条"),
         Figure::IndexedGoogle,
         {},
         {}},
        {S("E5"),
         Role::Google,
         S("/search?hl=zh-CN&q=link%3A"),
         S("找到"),
         S("条"),
         Figure::BacklinksGoogle,
         {},
         {}},
        {S("E6"), Role::Soso, S("/q?w=site%3A"), S("搜索到"), S("项"), Figure::IndexedSoso, {}, {}},
    };
    return rows;
}

const QList<CountRow>& youdaoBatchRows() {
    static const QList<CountRow> rows = {
        {S("Y1"),
         Role::Youdao,
         S("/search?q=site%3A"),
         S("共"),
         S("条"),
         Figure::IndexedYoudao,
         {},
         {}},
        {S("Y2"),
         Role::Youdao,
         S("/search?q=inlink%3A"),
         S("共"),
         S("条"),
         Figure::BacklinksYoudao,
         {},
         {}},
    };
    return rows;
}

const QList<CountRow>& sogouYahooBatchRows() {
    static const QList<CountRow> rows = {
        {S("S1"),
         Role::Sogou,
         S("/web?query=site%3A"),
         S("找到"),
         S("<!--resultbarn"),
         Figure::IndexedSogou,
         {},
         {}},
        {S("S2"),
         Role::Yahoo,
         S("/search?bwm=i&p="),
         S("链向该地址的网页： 共 <strong>"),
         S("</strong> 条"),
         Figure::BacklinksYahoo,
         {},
         {}},
        {S("S3"),
         Role::Sogou,
         S("/web?query=link%3A"),
         S("找到"),
         S("<!--resultbarn"),
         Figure::BacklinksSogou,
         {},
         {}},
    };
    return rows;
}

void runCountRowAsync(const Chain& chain, const FigureRule& rule, const QString& domain,
                      std::function<void(const ValueResult&)> done) {
    const QString url = expandRuleUrl(rule.url, domain);
    fetchValue(chain, {url, rule.start, rule.end},
               [=, done = std::move(done)](const ValueResult& first) {
                   // The second wording fetches the page again rather than reusing the first.
                   if (first.text != NotFoundMark || rule.fallbackStart.isEmpty()) {
                       done(first);
                       return;
                   }
                   fetchValue(chain, {url, rule.fallbackStart, rule.fallbackEnd},
                              [first, rule, done](ValueResult second) {
                                  second.ms += first.ms;
                                  if (!second.found())
                                      second.start =
                                          rule.start + QStringLiteral(" / ") + rule.fallbackStart;
                                  done(second);
                              });
               });
}

}  // namespace zorvan
