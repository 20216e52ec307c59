#include "standinfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>

#include "core/localfile.h"
#include "core/services.h"
#include "net/fetch.h"

namespace zorvan::test {

StandinFixture::StandinFixture(int fetchTimeoutMs) : oldTimeout_(defaultFetchOptions().timeoutMs) {
    if (!services.start()) qFatal("stand-in services could not start");
    const QString file = home.filePath(QStringLiteral("services.txt"));
    services.writeServicesFile(file);
    qputenv("ZORVAN_SERVICES", file.toLocal8Bit());
    qputenv("ZORVAN_HOME", home.path().toLocal8Bit());
    reloadServices();
    reloadDataDirectory();
    FetchOptions limits = defaultFetchOptions();
    limits.timeoutMs = fetchTimeoutMs;
    setDefaultFetchOptions(limits);
}

StandinFixture::~StandinFixture() {
    services.stop();
    FetchOptions limits = defaultFetchOptions();
    limits.timeoutMs = oldTimeout_;
    setDefaultFetchOptions(limits);
    qunsetenv("ZORVAN_SERVICES");
    qunsetenv("ZORVAN_HOME");
    reloadServices();
    reloadDataDirectory();
}

QString StandinFixture::base(const QString& role) const {
    return serviceBase(role);
}

// From the source tree's own path: __FILE__ is relative to the build folder under Ninja.
QString samplePagesFolder() {
    return QDir(QString::fromUtf8(ZORVAN_SOURCE_DIR)).filePath(QStringLiteral("standin/pages"));
}

bool waitFor(const std::function<bool()>& predicate, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QByteArray toGbk(const QString& text) {
    return encodeAnsi(text);
}

QString fromGbk(const QByteArray& bytes) {
    return decodeAnsi(bytes);
}

}  // namespace zorvan::test
