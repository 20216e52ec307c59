#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/mainwindow.h"
#include "engines/queryengine.h"
#include "fakeplatform.h"
#include "standinfixture.h"

namespace zorvan::test {

// The main window over the stand-in services, a fresh data folder and a fake platform; the
// start-up update check stays out of the logs a test reads unless asked for.
struct WindowFixture {
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<StandinFixture> fx;
    std::unique_ptr<MainWindow> window;

    // Before the window: the services and the data folder, for the test to fill.
    void prepare(int fetchTimeoutMs = 1500) {
        fake = std::make_unique<FakePlatform>();
        fx = std::make_unique<StandinFixture>(fetchTimeoutMs);
    }
    void loadSamplePages(const QString& routes = QStringLiteral("engines.routes")) {
        QVERIFY(fx->services.loadRoutes(samplePagesFolder(), routes) > 0);
    }
    void open(std::optional<std::chrono::milliseconds> updateCheckDelay = std::nullopt) {
        window = std::make_unique<MainWindow>(nullptr, updateCheckDelay);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // The window first, so that nothing of it outlives the services or the platform.
    void close() {
        window.reset();
        fx.reset();
        fake.reset();
    }

    bool queryDone() const { return window->queryButton()->isEnabled(); }
    // Every answer in, the PageRank lookup's too.
    bool queryFinished() const {
        return queryDone() && window->query() && window->query()->isFinished();
    }
    void startQuery(const QString& domain) {
        window->domainBox()->setEditText(domain);
        window->queryButton()->click();
    }
    // Queries the domain and waits until every answer is in.
    bool query(const QString& domain, int timeoutMs = 20000) {
        startQuery(domain);
        return waitFor([this] { return queryFinished(); }, timeoutMs);
    }
};

}  // namespace zorvan::test
