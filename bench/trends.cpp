// Trends at three years of daily records (1,100 of one domain, amid 50 other domains):
// - opening the history viewer and painting it with its chart, against the same viewer with the
//   chart hidden (the table alone), measured alternately in one run; target <= 1.5;
// - zorvan-cli drawing that chart to a PNG, the whole process, against a bound of 300 ms.
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/localfile.h"
#include "history/gui/historyviewer.h"
#include "history/gui/trendchartview.h"
#include "support/benchutil.h"

using namespace zorvan;

namespace {

constexpr int days = 1100;
constexpr int runs = 9;
const QString domain = QStringLiteral("trend.example.cn");

QString day(int n) {
    return QDate(2023, 1, 1).addDays(n).toString(QStringLiteral("yyyy-M-d"));
}

// Counts that wander as real ones do, with the gaps ("X") that failed queries leave.
QString record(int n) {
    QString r = day(n) + u'=';
    for (int e = 0; e < 7; ++e) {
        const int indexed = int(20000 * (e + 1) * (1.2 + std::sin(n / 60.0 + e)));
        const QString shown = (n + e) % 37 == 0
                                  ? QStringLiteral("X")
                                  : QString::fromUtf8("约") + QString::number(indexed);
        r += shown + u'/' + QString::number(indexed / 30) + u'|';
    }
    return r + QString::number(100000 + n);
}

QByteArray buildHistory() {
    QString text;
    for (int d = 0; d < 50; ++d) {
        text += QStringLiteral("[other%1.example.cn]\r\n").arg(d);
        for (int n = 0; n < 30; ++n) text += record(n) + QStringLiteral("\r\n");
    }
    text += u'[' + domain + QStringLiteral("]\r\n");
    for (int n = 0; n < days; ++n) text += record(n) + QStringLiteral("\r\n");
    return encodeAnsi(text);
}

// Opens the viewer on the domain and paints all of it once.
double openViewerMs(const QString& path, bool withChart) {
    return bench::timeMs([&] {
        HistoryViewer viewer(path);
        viewer.chooser()->setCurrentIndex(viewer.chooser()->findText(domain));
        viewer.showChosenDomain();
        if (!withChart) viewer.chart()->hide();
        viewer.show();
        viewer.grab();
    });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.txt"));
    if (!writeFileAtomically(path, buildHistory())) return 1;

    openViewerMs(path, true);  // fonts and styles loaded once before timing
    std::vector<double> table, chart;
    for (int i = 0; i < runs; ++i) {
        table.push_back(openViewerMs(path, false));
        chart.push_back(openViewerMs(path, true));
    }
    const double viewerRatio = bench::median(chart) / bench::median(table);
    std::printf("viewer on %d records: table alone %.1f ms, with chart %.1f ms (medians of %d)\n",
                days, bench::median(table), bench::median(chart), runs);
    std::printf("viewer with chart / table alone   ratio %.2f (target <= 1.5)  %s\n", viewerRatio,
                viewerRatio <= 1.5 ? "OK" : "OVER");

    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/zorvan-cli");
    const QString png = dir.filePath(QStringLiteral("trend.png"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_HOME"), dir.path());
    std::vector<double> cli;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(png);
        QProcess process;
        process.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        process.start(program, {QStringLiteral("chart"), domain, QStringLiteral("--output"), png});
        if (!process.waitForFinished(30000) || process.exitCode() != 0 || !QFile::exists(png)) {
            std::fprintf(stderr, "zorvan-cli chart failed: %s\n",
                         process.readAllStandardError().constData());
            return 1;
        }
        cli.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double cliRatio = bench::median(cli) / 300.0;
    std::printf(
        "zorvan-cli chart to PNG            %.1f ms  ratio %.2f to 300 ms (target <= 1)  %s\n",
        bench::median(cli), cliRatio, cliRatio <= 1 ? "OK" : "OVER");
    return 0;
}
