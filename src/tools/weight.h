#pragma once

#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "net/sequencer.h"

namespace zorvan {

// The texts the weight window starts with; every lookup returns to them before it cuts.
namespace WeightInitial {
inline const QString Weight = QStringLiteral("0");
inline const QString Line = QString();
inline const QString Count = QStringLiteral("10");
}  // namespace WeightInitial

// The keyword-ranking site's page of a domain: "/baidu/" + domain, unchanged.
QString weightLookupUrl(const QString& domain);

// The figures of one page, each already in the text its field shows; nothing where the page did
// not have it.
struct WeightFigures {
    std::optional<QString> weight;     // the weight alone
    std::optional<QString> countLine;  // "共检查到" + count + "条"
    std::optional<QString> count;      // the count alone, which sizes the keyword list
    std::optional<QString> traffic;    // "百度能给该站带来：" + figure + "/IP"
    std::optional<QString> snapshot;   // "百度快照：" + date
    std::optional<QString> indexed;    // "百度收录共：" + figure
};

WeightFigures cutWeightFigures(const QString& page);

// The page for the domain (code page 936) as a chain step, then its figures. A failed fetch, a
// block or an error page gives none.
ChainStep lookUpWeight(const QString& domain, std::function<void(const WeightFigures&)> done);

}  // namespace zorvan
