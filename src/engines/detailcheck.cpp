#include "engines/detailcheck.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

#include "core/platform.h"
#include "core/services.h"
#include "net/fetch.h"

namespace zorvan {

namespace {

const QString Reset = QStringLiteral("-");

// Baidu.
const QString BaiduSitePrefix = QStringLiteral("/s?wd=site%3A");
const QString Wording1Start = QStringLiteral("百度一下，找到相关网页");
const QString Wording1End = QStringLiteral("篇");
const QString Wording2Start = QStringLiteral("找到相关结果");
const QString Wording2End = QStringLiteral("个");
const QString BlockStart = QStringLiteral("id=\"1\"");
const QString BlockEnd = QStringLiteral("百度快照</a>");
const QString SnapshotStart = QStringLiteral("/ ");
const QString SnapshotEnd = QStringLiteral(" </font> ");
const QString HostStart = QStringLiteral("})\" href=\"http://");
const QString HostEnd = QStringLiteral("/\"");
const QString TitleStart = QStringLiteral("blank\">");
const QString TitleEnd = QStringLiteral("</a>");
const QString HomeFirst = QStringLiteral("首页第一");
const QString BaiduNotFirst = QStringLiteral("不在第一位");
const QString NoTitle = QStringLiteral("标题无法获取");

// Google.
const QString GoogleDayPrefix =
    QStringLiteral("/search?hl=zh-CN&newwindow=1&tbs=qdr%3Ad&q=site%3A");
const QString GoogleWeekPrefix = QStringLiteral("/search?q=site:");
const QString GoogleWeekSuffix = QStringLiteral("&hl=zh-CN&1&safe=1&tbs=qdr:w&sa");
const QString GoogleTotalPrefix = QStringLiteral("/search?hl=zh-CN&q=site%3A");
const QString CiteStart = QStringLiteral("<br><div><cite>");
const QString CiteEnd = QStringLiteral("/");
const QString GoogleNotFirst = QStringLiteral("不在第一");
const QString NoneToday = QStringLiteral("0或小于10页");
const QString NoneIndexed = QStringLiteral("收录0页");
const QString NoSnapshotToday = QStringLiteral("今日无快照");

const QString WwwPrefix = QStringLiteral("www.");

// A host that was not found never counts as the home page, even for an empty domain box.
bool isHomePage(const QString& host, const QString& domain) {
    return !host.isEmpty() && (host == domain || host == WwwPrefix + domain);
}

void writeIfFound(DetailSink& sink, DetailField field, const std::optional<QString>& value) {
    if (value) sink.setField(field, capValue(*value));
}

void replaceIf(DetailSink& sink, DetailField field, const QString& from, const QString& to) {
    if (sink.field(field) == from) sink.setField(field, to);
}

// The domain is read again for every address, so a lower-cased box is what later steps see.
QString baiduSiteQuery(const DetailSink& sink, const QString& suffix = QString()) {
    return serviceBase(Role::Baidu) + BaiduSitePrefix + domainInAddress(sink.domain()) + suffix;
}

}  // namespace

namespace detail {

QList<DetailField> resetFields() {
    using enum DetailField;
    return {BaiduDay,       BaiduWeek,  BaiduMonth, BaiduTotal,  BaiduSnapshot,
            BaiduHomeFirst, GoogleWeek, GoogleDay,  GoogleTotal, GoogleMonth};
}

std::optional<QString> googleCount(const QString& page) {
    static const QString About = QStringLiteral("找到约 ");
    static const QString Got = QStringLiteral("获得 ");
    static const QString Space = QStringLiteral(" ");
    if (page.contains(About)) return CutBetween(page, About, Space);
    return CutBetween(page, Got, Space);
}

std::optional<QString> monthEstimate(const QString& weekFigure) {
    QString digits = weekFigure;
    digits = digits.remove(QLatin1Char(',')).trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (!number.match(digits).hasMatch()) return std::nullopt;
    bool ok = false;
    const double week = QLocale::c().toDouble(digits, &ok);
    if (!ok || !std::isfinite(week)) return std::nullopt;
    const double month = week * 7;
    if (!std::isfinite(month)) return std::nullopt;
    if (month == std::floor(month) && std::fabs(month) < 1e15)
        return QString::number(month, 'f', 0);
    return QString::number(month, 'g', 15);
}

}  // namespace detail

using namespace detail;
using enum DetailField;

void resetDetailFields(DetailSink& sink) {
    for (const DetailField field : resetFields()) sink.setField(field, Reset);
}

namespace {

// The first result block of the plain site query: its snapshot date, whether it is the home page,
// and its title.
void readFirstResult(DetailSink& sink, const QString& page) {
    // Only this page's first result counts: without one, the block is empty rather than whatever
    // an earlier check (perhaps of another domain) left behind.
    const QString block = CutBetween(page, BlockStart, BlockEnd).value_or(QString());

    if (block.contains(SnapshotStart))
        writeIfFound(sink, BaiduSnapshot, CutBetween(block, SnapshotStart, SnapshotEnd));

    const QString host = CutBetween(block, HostStart, HostEnd).value_or(QString());
    sink.setField(BaiduHomeFirst, isHomePage(host, sink.domain()) ? HomeFirst : BaiduNotFirst);

    if (sink.field(BaiduHomeFirst) == HomeFirst)
        writeIfFound(sink, BaiduTitle, CutBetween(block, TitleStart, TitleEnd));
    else
        sink.setField(BaiduTitle, NoTitle);
}

// The total by the value fetch, the second wording only when the first found nothing.
ChainStep baiduTotal(DetailSink& sink) {
    return [&sink](const Chain& chain) {
        const QString prefix = serviceBase(Role::Baidu) + BaiduSitePrefix;
        fetchValue(
            chain, {prefix + domainInAddress(sink.domain()), Wording1Start, Wording1End},
            [&sink, chain, prefix](const ValueResult& first) {
                sink.setField(BaiduTotal, first.text);
                if (sink.field(BaiduTotal) != NotFoundMark) return;
                fetchValue(
                    chain, {prefix + domainInAddress(sink.domain()), Wording2Start, Wording2End},
                    [&sink](const ValueResult& second) { sink.setField(BaiduTotal, second.text); });
            });
    };
}

}  // namespace

QList<ChainStep> BaiduDetailCheck(DetailSink& sink) {
    QList<ChainStep> steps;
    steps.append([&sink](const Chain&) {
        sink.enableTitleField();
        const QString box = sink.domain();
        if (!box.isEmpty() && box.at(0) >= QLatin1Char('A') && box.at(0) <= QLatin1Char('Z'))
            sink.setDomain(box.toLower());
    });
    static const struct {
        DetailField field;
        const char* limit;
    } periods[] = {{BaiduDay, "&lm=1"}, {BaiduWeek, "&lm=7"}, {BaiduMonth, "&lm=30"}};
    for (const auto& period : periods) {
        const DetailField field = period.field;
        const QString limit = QString::fromLatin1(period.limit);
        steps.append(fetchPageText(
            [&sink, limit] { return baiduSiteQuery(sink, limit); }, QStringLiteral("gb2312"),
            [&sink, field](const QString& page) {
                writeIfFound(sink, field, CutBetween(page, Wording1Start, Wording1End));
                if (sink.field(field) == Reset)
                    writeIfFound(sink, field, CutBetween(page, Wording2Start, Wording2End));
            }));
    }
    steps.append(baiduTotal(sink));
    steps.append(fetchPageText([&sink] { return baiduSiteQuery(sink); }, QStringLiteral("gb2312"),
                               [&sink](const QString& page) { readFirstResult(sink, page); }));
    return steps;
}

QList<ChainStep> GoogleRecencyCheck(DetailSink& sink) {
    const QString base = serviceBase(Role::Google);
    const QString utf8 = QStringLiteral("UTF-8");
    const auto address = [&sink, base](const QString& prefix, const QString& suffix = QString()) {
        return [&sink, base, prefix, suffix]() -> QString {
            return base + prefix + domainInAddress(sink.domain()) + suffix;
        };
    };
    return {
        fetchPageText(
            address(GoogleDayPrefix), utf8,
            [&sink](const QString& page) { writeIfFound(sink, GoogleDay, googleCount(page)); }),
        fetchPageText(
            address(GoogleWeekPrefix, GoogleWeekSuffix), utf8,
            [&sink](const QString& page) { writeIfFound(sink, GoogleWeek, googleCount(page)); }),
        fetchPageText(
            address(GoogleTotalPrefix), utf8,
            [&sink](const QString& page) {
                writeIfFound(sink, GoogleTotal, googleCount(page));
                // As for Baidu: a page without a cited first result compares nothing, never a
                // previous host.
                const QString cited = CutBetween(page, CiteStart, CiteEnd).value_or(QString());
                sink.setField(GoogleHomeFirst,
                              isHomePage(cited, sink.domain()) ? HomeFirst : GoogleNotFirst);
                writeIfFound(sink, GoogleMonth, monthEstimate(sink.field(GoogleWeek)));
            }),
    };
}

void detailFinalPass(DetailSink& sink) {
    static const QString Zero = QStringLiteral("0");
    replaceIf(sink, BaiduDay, Reset, Zero);
    replaceIf(sink, BaiduWeek, Reset, Zero);
    replaceIf(sink, BaiduMonth, Reset, Zero);
    replaceIf(sink, BaiduTotal, Reset, Zero);
    replaceIf(sink, BaiduTotal, NotFoundMark, Zero);
    replaceIf(sink, BaiduSnapshot, Reset, Zero);

    replaceIf(sink, GoogleWeek, Reset, NoneIndexed);
    replaceIf(sink, GoogleDay, Reset, NoneToday);
    replaceIf(sink, GoogleMonth, Reset, NoneIndexed);
    replaceIf(sink, GoogleTotal, Reset, NoneIndexed);
    sink.setField(GoogleLatest,
                  sink.field(GoogleDay) == NoneToday ? NoSnapshotToday : todayShortDate());
}

void runDetailCheck(RequestSequencer& requests, DetailSink& sink) {
    QList<ChainStep> steps = BaiduDetailCheck(sink);
    steps.append(GoogleRecencyCheck(sink));
    steps.append([&sink](const Chain&) { detailFinalPass(sink); });
    requests.run(QStringLiteral("detail"), steps);
}

}  // namespace zorvan
