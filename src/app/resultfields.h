#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "vocab/figures.h"

namespace zorvan {

// The order in which a combined query resets the eighteen fields to "...".
const QList<Figure>& resetOrder();

// The detail grid: Baidu row, then Google row, each in column order.
QStringList baiduDetailFields();
QStringList googleDetailFields();
QStringList detailColumns();

}  // namespace zorvan
