// The window's combined query against hostile services:
// - four services that accept and never answer (Baidu, Google, Soso, Youdao: nine rows between
//   them) at a 2 s fetch limit, against the same query with every service answering, in fetch
//   limits more (target: at most 2);
// - one service answering 100 MB without a declared length: the process's peak resident memory
//   (target: below 100 MB).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/mainwindow.h"
#include "core/services.h"
#include "engines/queryengine.h"
#include "fakeplatform.h"
#include "standinfixture.h"
#include "support/benchutil.h"

using namespace zorvan;

namespace {

constexpr int LimitMs = 2000;

// From the press until the query and its PageRank lookup have ended.
double queryMs(MainWindow& window) {
    window.domainBox()->setEditText(QStringLiteral("sample.net"));
    QElapsedTimer clock;
    clock.start();
    window.queryButton()->click();
    test::waitFor([&] { return window.queryButton()->isEnabled() && window.query()->isFinished(); },
                  120000);
    return double(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::FakePlatform platform;
    test::StandinFixture fx(LimitMs);
    fx.services.loadRoutes(test::samplePagesFolder(), QStringLiteral("engines.routes"));

    MainWindow window(nullptr, std::nullopt);
    window.autoSaveBox()->setChecked(false);
    window.show();

    queryMs(window);  // warm-up
    double answering = 1e9;
    for (int i = 0; i < 3; ++i) answering = std::min(answering, queryMs(window));

    for (const QString& role : {Role::Baidu, Role::Google, Role::Soso, Role::Youdao})
        fx.services.setFailure(role, standin::Failure::NeverAnswer);
    fx.services.clearLog();
    const double silent = queryMs(window);
    const size_t silentRequests =
        fx.services.log(Role::Baidu).size() + fx.services.log(Role::Google).size() +
        fx.services.log(Role::Soso).size() + fx.services.log(Role::Youdao).size();
    const double extraLimits = (silent - answering) / LimitMs;
    std::printf(
        "every service answering: %.0f ms; four silent services: %.0f ms (%zu requests to them); "
        "%.2f fetch limits more (target <= 2)\n",
        answering, silent, silentRequests, extraLimits);

    for (const QString& role : {Role::Baidu, Role::Google, Role::Soso, Role::Youdao})
        fx.services.setFailure(role, standin::Failure::None);
    const long before = bench::peakRssKb();
    fx.services.setFailure(Role::Alexa, standin::Failure::HugeBody);
    queryMs(window);
    const long after = bench::peakRssKb();
    std::printf(
        "peak resident memory: %.1f MB before, %.1f MB with a 100 MB answer (target < 100 MB); "
        "Alexa rank shows \"%s\"\n",
        before / 1024.0, after / 1024.0, qPrintable(window.figure(Figure::AlexaRank)));
    return 0;
}
