#pragma once

#include <QStringList>

#include "app/resultfields.h"
#include "vocab/figures.h"

namespace zorvan::test {

// The main window's eighteen fields by control name, in record order.
inline QStringList recordOrderNames() {
    QStringList names;
    for (const FigureInfo& f : figureTable()) names.append(figureControl(f.figure));
    return names;
}

}  // namespace zorvan::test
