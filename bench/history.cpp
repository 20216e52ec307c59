// History at scale: 200 domains by 365 days. Prints the time of one SaveHistory and of loading the
// largest domain into the viewer as ratios to one plain read and write of the same file, measured
// in the same run. Target: SaveHistory within 3 times the plain read plus write.
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/localfile.h"
#include "history/gui/historyviewer.h"
#include "history/historyfile.h"
#include "support/benchutil.h"

using namespace zorvan;

namespace {

constexpr int domains = 200;
constexpr int days = 365;
constexpr int runs = 15;

QString day(int n) {
    return QDate(2010, 1, 1).addDays(n).toString(QStringLiteral("yyyy-M-d"));
}

QString record(const QString& date, int seed) {
    QString r = date + u'=';
    for (int e = 0; e < 7; ++e)
        r += QString::number(seed * 7919 + e * 104729) + u'/' + QString::number(seed * 31 + e) +
             u'|';
    return r + QString::number(seed * 13 + 100000);
}

QString domainName(int i) {
    return QStringLiteral("site%1.example.cn").arg(i);
}

// The largest domain (twice the days of the others) stands in the middle of the file.
QByteArray buildHistory() {
    QString text;
    for (int d = 0; d < domains; ++d) {
        text += u'[' + domainName(d) + QStringLiteral("]\r\n");
        const int count = d == domains / 2 ? 2 * days : days;
        for (int n = 0; n < count; ++n) text += record(day(n), d + n) + QStringLiteral("\r\n");
    }
    return encodeAnsi(text);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.txt"));
    const QByteArray bytes = buildHistory();
    if (!writeFileAtomically(path, bytes)) return 1;

    std::vector<double> plain, save, view;
    FigureValues fields;
    for (const FigureInfo& f : figureTable())
        fields[f.figure] = f.key.right(2) + QStringLiteral("12345");
    for (int i = 0; i < runs; ++i) {
        plain.push_back(bench::timeMs([&] {
            QFile in(path);
            in.open(QIODevice::ReadOnly);
            writeFileAtomically(path, in.readAll());
        }));
        // Alternately a new day appended to a middle section and the same day replaced.
        const QString today = day(2 * days + i / 2);
        save.push_back(
            bench::timeMs([&] { SaveHistory(path, domainName(domains / 3), fields, today); }));
    }

    HistoryViewer viewer(path);
    const int largest = viewer.chooser()->findText(domainName(domains / 2));
    viewer.chooser()->setCurrentIndex(largest);
    for (int i = 0; i < runs; ++i)
        view.push_back(bench::timeMs([&] { viewer.showChosenDomain(); }));

    const double base = bench::median(plain);
    const double saveRatio = bench::median(save) / base;
    std::printf("history file: %d domains x %d days, %.1f MB\n", domains, days, bytes.size() / 1e6);
    std::printf("plain read+write   %8.2f ms (median of %d)\n", base, runs);
    std::printf("SaveHistory        %8.2f ms  ratio %.2f (target <= 3)  %s\n", bench::median(save),
                saveRatio, saveRatio <= 3 ? "OK" : "OVER");
    std::printf("viewer, %d rows  %8.2f ms  ratio %.2f\n", viewer.grid()->rowCount() - 1,
                bench::median(view), bench::median(view) / base);
    return 0;
}
