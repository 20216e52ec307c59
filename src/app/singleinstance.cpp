#include "app/singleinstance.h"

#include <QFileInfo>

namespace zorvan {

SingleInstance::SingleInstance(const QString& directory)
    : lock_(std::make_unique<QLockFile>(directory + QStringLiteral("/zorvan.lock"))) {
    // A lock left by a copy that crashed is stale and is taken over.
    lock_->setStaleLockTime(0);
    acquired_ = lock_->tryLock(0);
    if (acquired_) return;
    heldByAnother_ = lock_->error() == QLockFile::LockFailedError;
    if (heldByAnother_) return;
    const QFileInfo folder(directory);
    if (!folder.exists())
        failure_ = QStringLiteral("无法创建该文件夹");
    else if (!folder.isDir())
        failure_ = QStringLiteral("该路径不是文件夹");
    else if (!folder.isWritable())
        failure_ = QStringLiteral("没有写入权限");
    else
        failure_ = QStringLiteral("无法在该文件夹中建立锁文件");
}

}  // namespace zorvan
