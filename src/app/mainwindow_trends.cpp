// Drops: a finished query's counts against the domain's latest record of an earlier day.
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

#include "app/mainwindow.h"
#include "core/platform.h"
#include "core/services.h"
#include "engines/queryengine.h"
#include "history/historyfile.h"

namespace zorvan {

// Called when the query is complete and the run's reading is there, before its own record is
// saved.
void MainWindow::markDrops(const FinishedQuery& done, const QList<FigureDrop>& drops) {
    const QString& domain = done.domain;
    drops_.insert(domain, drops);
    for (const FigureDrop& d : drops) showFigure(d.figure);

    if (!done.batch) return;
    for (const FigureDrop& d : drops)
        runDropLines_.append(QString::fromUtf8("%1  %2  %3 → %4（下降%5%）")
                                 .arg(domain, figureInfo(d.figure).label, QString::number(d.from),
                                      QString::number(d.to), QString::number(d.percent())));
    // The last entry of the list ends the run: its drops are told together, from the event loop
    // so that the window is back before the box opens.
    if (!done.lastOfRun || runDropLines_.isEmpty()) return;
    const QString text =
        QString::fromUtf8("以下数据较上次记录下降：\n") + runDropLines_.join(u'\n');
    runDropLines_.clear();
    QTimer::singleShot(0, this, [this, text] {
        platform().showMessage(
            {this, MessageIcon::Warning, QStringLiteral("Quenta"), text, MessageButtons::Ok});
    });
}

// A field shows a drop only while the box shows the domain it was found for and the field still
// holds the count that dropped (browsing a batch run's entries shows each entry's own marks).
const FigureDrop* MainWindow::shownDrop(Figure figure) const {
    const auto domainDrops = drops_.constFind(bar_->box->currentText());
    if (domainDrops == drops_.cend()) return nullptr;
    const auto count = countFromText(figures_[figure]);
    for (const FigureDrop& d : *domainDrops)
        if (d.figure == figure && count == d.to) return &d;
    return nullptr;
}

}  // namespace zorvan
