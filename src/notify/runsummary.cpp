#include "notify/runsummary.h"

#include <algorithm>

#include "core/platform.h"

namespace zorvan {
namespace {

// Figures of one engine come from one service; the others are each their own.
QString serviceOf(Figure figure) {
    const FigureInfo& info = figureInfo(figure);
    if (info.engine) return engineInfo(*info.engine).key;
    if (info.kind == FigureKind::BaiduSnapshot) return engineInfo(Engine::Baidu).key;
    return info.key;
}

QString runLine(const RunSummary& s) {
    return QStringLiteral("%1 至 %2，%3 个域名，保存 %4，跳过 %5，被拦截 %6 项")
        .arg(generalDateTime(s.start), generalDateTime(s.end))
        .arg(s.domains)
        .arg(s.saved)
        .arg(s.skipped)
        .arg(s.blocked);
}

QString dropLine(const DomainDrops& d) {
    QStringList parts;
    for (const FigureDrop& drop : d.drops)
        parts.append(figureInfo(drop.figure).label + QStringLiteral(" ") + dropDescription(drop));
    return d.domain + QStringLiteral("：") + parts.join(QStringLiteral("；"));
}

}  // namespace

int DomainDrops::worstPercent() const {
    int worst = 0;
    for (const FigureDrop& d : drops) worst = std::max(worst, d.percent());
    return worst;
}

QList<ServiceTrouble> troubledServices(const RunSummary& summary) {
    QMap<QString, ServiceTrouble> services;
    for (auto figure = summary.asked.cbegin(); figure != summary.asked.cend(); ++figure) {
        ServiceTrouble& t = services[serviceOf(figure.key())];
        t.service = serviceOf(figure.key());
        t.asked += figure.value();
    }
    for (auto figure = summary.missing.cbegin(); figure != summary.missing.cend(); ++figure) {
        ServiceTrouble& t = services[serviceOf(figure.key())];
        t.service = serviceOf(figure.key());
        t.blocked += figure->value(Verdict::Blocked);
        t.silent += figure->value(Verdict::NoAnswer);
        t.unasked += figure->value(Verdict::NoProxy);
    }
    QList<ServiceTrouble> troubled;
    for (const ServiceTrouble& t : services)
        if (qint64(t.blocked + t.silent + t.unasked) * 10 > t.asked) troubled.append(t);
    return troubled;
}

QString Alert::text(bool markdown, qsizetype maxBytes) const {
    const QString bullet = markdown ? QStringLiteral("- ") : QString();
    const auto compose = [&](qsizetype listed) {
        QStringList lines;
        lines.append(markdown ? QStringLiteral("### ") + title : title);
        lines.append(head);
        for (qsizetype i = 0; i < listed; ++i) lines.append(bullet + domainLines[i]);
        const qsizetype more = domainsNotListed + (domainLines.size() - listed);
        if (more > 0) lines.append(QStringLiteral("……另有 %1 个域名未列出").arg(more));
        return lines.join(markdown ? QStringLiteral("\n\n") : QStringLiteral("\n"));
    };
    for (qsizetype listed = domainLines.size(); listed > 0; --listed) {
        const QString t = compose(listed);
        if (t.toUtf8().size() <= maxBytes) return t;
    }
    QString t = compose(0);
    // A head longer than the limit is cut at a character, never inside one.
    while (t.toUtf8().size() > maxBytes) t.chop(1);
    return t;
}

QList<Alert> alertsForRun(const RunSummary& summary) {
    QList<Alert> messages;
    QList<DomainDrops> dropped;
    for (const DomainDrops& d : summary.drops)
        if (!d.drops.isEmpty()) dropped.append(d);
    if (!dropped.isEmpty()) {
        std::stable_sort(dropped.begin(), dropped.end(),
                         [](const DomainDrops& a, const DomainDrops& b) {
                             return a.worstPercent() > b.worstPercent();
                         });
        Alert m{AlertKind::Drop,
                QStringLiteral("Zorvan：%1 个域名的数量下降").arg(dropped.size()),
                {runLine(summary)},
                {},
                0};
        for (qsizetype i = 0; i < dropped.size(); ++i) {
            if (i < MaxListedDomains)
                m.domainLines.append(dropLine(dropped[i]));
            else
                ++m.domainsNotListed;
        }
        messages.append(m);
    }
    const QList<ServiceTrouble> troubled = troubledServices(summary);
    if (!troubled.isEmpty()) {
        Alert m{AlertKind::Block,
                QStringLiteral("Zorvan：服务被拦截或无应答"),
                {runLine(summary)},
                {},
                0};
        for (const ServiceTrouble& t : troubled)
            m.head.append(QStringLiteral("%1：被拦截 %2 项，无应答 %3 项%4（共 %5 项）")
                              .arg(t.service)
                              .arg(t.blocked)
                              .arg(t.silent)
                              .arg(t.unasked > 0
                                       ? QStringLiteral("，代理全部失效未查询 %1 项").arg(t.unasked)
                                       : QString())
                              .arg(t.asked));
        messages.append(m);
    }
    if (!summary.reportUrl.isEmpty())
        for (Alert& m : messages) m.head.append(QStringLiteral("报告：") + summary.reportUrl);
    return messages;
}

Alert testAlert(const QDateTime& now) {
    return {AlertKind::Test,
            QStringLiteral("Zorvan 测试消息"),
            {QStringLiteral("通知已设置好（%1）。").arg(generalDateTime(now))},
            {},
            0};
}

}  // namespace zorvan
