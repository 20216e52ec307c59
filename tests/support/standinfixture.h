#pragma once

#include <QTemporaryDir>

#include "standin.h"

namespace zorvan::test {

// Starts the stand-in services, points ZORVAN_SERVICES at them and ZORVAN_HOME at a fresh
// temporary folder, and shortens the fetch time limit so failure cases end quickly.
class StandinFixture {
  public:
    explicit StandinFixture(int fetchTimeoutMs = 3000);
    ~StandinFixture();

    standin::Services services;
    QTemporaryDir home;

    // "http://127.0.0.1:port" of a role, as the program builds it.
    QString base(const QString& role) const;
    QString homeFile(const QString& name) const { return home.filePath(name); }

  private:
    int oldTimeout_;
};

// The folder of the stand-in's sample pages (standin/pages).
QString samplePagesFolder();

// Runs the event loop until the predicate holds or the time runs out; true when it held.
bool waitFor(const std::function<bool()>& predicate, int timeoutMs = 10000);

// Encodes text in code page 936, as the Chinese services and the program's files do.
QByteArray toGbk(const QString& text);
QString fromGbk(const QByteArray& bytes);

}  // namespace zorvan::test
