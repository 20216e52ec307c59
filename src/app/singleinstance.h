#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace zorvan {

// Holds the data directory's lock while the program runs, so that a second copy can tell.
class SingleInstance {
public:
    explicit SingleInstance(const QString& directory);
    // False when another running copy holds the lock.
    bool acquired() const { return acquired_; }

private:
    std::unique_ptr<QLockFile> lock_;
    bool acquired_ = false;
};

}  // namespace zorvan
