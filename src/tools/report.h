#pragma once

#include <QDateTime>
#include <QString>

#include "vocab/figures.h"

namespace zorvan {

// The plain-text summary of the last query: thirteen lines joined by CR LF, no trailing break.
// Values are the figures as shown; the domain is the box's text when the report opens.
QString BuildReport(const QString& domain, const FigureValues& figures, const QDateTime& when);

// Blanks between an engine's indexed-pages value and "反链" in the lines after Baidu's, so that
// "反链" lines up for values of up to 13 characters. Longer values get none rather than failing.
int reportGap(const QString& indexedValue);

// "复制" + domain + "结果": the report window's caption and title line.
QString reportCaption(const QString& domain);

}  // namespace zorvan
