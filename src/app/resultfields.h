#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "vocab/detailfields.h"
#include "vocab/figures.h"

namespace zorvan {

// The names the window gives the fields it shows figures and detail fields in (their objectName),
// by which code, tests and a reader find each one.
const QString& figureControl(Figure figure);
const QString& detailControl(DetailField field);

// The order in which a combined query resets the eighteen fields to "...".
const QList<Figure>& resetOrder();

// The detail grid's column headings.
QStringList detailColumns();

}  // namespace zorvan
