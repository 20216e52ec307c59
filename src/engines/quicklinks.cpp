#include "engines/quicklinks.h"

#include <QHash>

#include "fetch/services.h"

namespace zorvan {

QString QuickLink::prefix() const { return serviceBase(role) + path; }

std::optional<QuickLink> quickLink(const QString& control) {
    static const QHash<QString, QuickLink> links = {
        {QStringLiteral("Labelslbd"), {Role::Baidu, QStringLiteral("/s?wd=site%3A")}},
        {QStringLiteral("Labelslgg"), {Role::Google, QStringLiteral("/search?hl=zh-CN&q=site%3A")}},
        {QStringLiteral("Labelslyh"), {Role::Yahoo, QStringLiteral("/search?bwm=p&p=")}},
        {QStringLiteral("Labelslsg"), {Role::Sogou, QStringLiteral("/web?query=site%3A")}},
        {QStringLiteral("Labelslss"), {Role::Soso, QStringLiteral("/q?w=site%3A")}},
        {QStringLiteral("Labelslby"), {Role::Bing, QStringLiteral("/search?q=site%3A")}},
        {QStringLiteral("Labelslyd"), {Role::Youdao, QStringLiteral("/search?q=site%3A")}},
        {QStringLiteral("Labelfxbd"), {Role::Baidu, QStringLiteral("/s?wd=domain%3A")}},
        {QStringLiteral("Labelfxgg"), {Role::Google, QStringLiteral("/search?hl=zh-CN&q=link%3A")}},
        {QStringLiteral("Labelfxyh"), {Role::Yahoo, QStringLiteral("/search?bwm=i&p=")}},
        {QStringLiteral("Labelfxsg"), {Role::Sogou, QStringLiteral("/web?query=link%3A")}},
        {QStringLiteral("Labelfxss"), {Role::Soso, QStringLiteral("/q?w=link%3A")}},
        {QStringLiteral("Labelfxby"), {Role::Bing, QStringLiteral("/search?q=link%3A")}},
        {QStringLiteral("Labelfxyd"), {Role::Youdao, QStringLiteral("/search?q=inlink%3A")}},
        {QStringLiteral("Label13"), {Role::Baidu, QStringLiteral("/s?wd=")}},
        {QStringLiteral("Label14"), {Role::Alexa, QStringLiteral("/siteinfo/")}},
        {QStringLiteral("Label16"), {Role::Sogou, QStringLiteral("/web?query=link%3A")}},
        {QStringLiteral("Picture1"), {Role::Google, QStringLiteral("/search?hl=zh-CN&q=link%3A")}},
    };
    const auto it = links.constFind(control);
    if (it == links.constEnd()) return std::nullopt;
    return *it;
}

}  // namespace zorvan
