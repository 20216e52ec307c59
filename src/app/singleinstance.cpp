#include "app/singleinstance.h"

namespace zorvan {

SingleInstance::SingleInstance(const QString& directory)
    : lock_(std::make_unique<QLockFile>(directory + QStringLiteral("/zorvan.lock"))) {
    // A lock left by a copy that crashed is stale and is taken over.
    lock_->setStaleLockTime(0);
    acquired_ = lock_->tryLock(0);
}

}  // namespace zorvan
