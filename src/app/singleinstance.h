#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace zorvan {

// Holds the data directory's lock while the program runs, so that a second copy can tell.
class SingleInstance {
  public:
    explicit SingleInstance(const QString& directory);
    // True when this copy holds the lock.
    bool acquired() const { return acquired_; }
    // True only when a live copy holds the lock: this one should end at once.
    bool heldByAnotherCopy() const { return heldByAnother_; }
    // Why the lock could not be taken otherwise (a folder that cannot be created or written).
    const QString& failure() const { return failure_; }

  private:
    std::unique_ptr<QLockFile> lock_;
    bool acquired_ = false;
    bool heldByAnother_ = false;
    QString failure_;
};

}  // namespace zorvan
