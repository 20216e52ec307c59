#pragma once

#include <QString>
#include <optional>

namespace zorvan {

// The search or service page that a clicked result field stands for.
struct QuickLink {
    QString role;
    QString path;  // after the host, up to where the domain goes
    QString prefix() const;
};

// The link of a control of the main window (result fields and the host area "Picture1");
// nothing for a control without one, such as the PageRank field.
std::optional<QuickLink> quickLink(const QString& control);

}  // namespace zorvan
