#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

namespace zorvan::cli {

// "12/40 30%  8.5/min  ETA 3m12s  4 in flight  2 blocked": how far a run of many domains is.
QString progressLine(int done, int total, qint64 elapsedMs, int inFlight, int blocked);

// Tells on err how a run of domains goes. On a terminal, one line rewritten in place; elsewhere
// (a log, a pipe) one "[3/40] example.com" line as each domain starts.
class Progress {
  public:
    Progress(QTextStream& err, bool terminal, int total);

    void started(int index, const QString& domain, int inFlight);
    void finished(int blockedFigures, int inFlight);
    // Takes the terminal line away, so that what comes next starts on a clean line.
    void clear();

  private:
    void draw(int inFlight);

    QTextStream& err_;
    bool terminal_;
    int total_;
    int done_ = 0;
    int blocked_ = 0;
    bool drawn_ = false;
    QElapsedTimer clock_;
};

}  // namespace zorvan::cli
