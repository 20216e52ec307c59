// Why a field shows "X": the reason its query found, named in the field's tooltip.
#include "app/mainwindow.h"
#include "engines/queryengine.h"
#include "net/fetch.h"

namespace zorvan {

QString MainWindow::figureToolTip(Figure figure) const {
    const QString clickHint = QString::fromUtf8("点击查看详情");
    // Only the running or last query's own figures: a stored record browsed in batch mode has
    // no reason behind its "X".
    if (figures_[figure] != NotFoundMark || !query() || query()->domain() != domain())
        return clickHint;
    const ValueResult& result = query()->result(figure);
    if (result.url.isEmpty() || result.found()) return clickHint;
    return verdictReason(result) + QString::fromUtf8("\n规则：") + figureInfo(figure).key;
}

}  // namespace zorvan
