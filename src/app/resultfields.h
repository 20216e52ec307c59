#pragma once

#include <QString>
#include <QStringList>

namespace zorvan {

// The eighteen result fields of the main window.
struct ResultField {
    QString name;         // objectName of the label
    QString description;  // what a screen reader announces for it
};

// Record order: the fixed position of each field in a batch record (0..17).
const QList<ResultField>& recordOrderFields();
QStringList recordOrderNames();

// The order in which a combined query resets the fields to "...".
QStringList resetOrderNames();

inline const QString Pending = QStringLiteral("...");

// The detail grid: Baidu row, then Google row, each in column order.
QStringList baiduDetailFields();
QStringList googleDetailFields();
QStringList detailColumns();

}  // namespace zorvan
