#include "cli/standardoutput.h"

#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>

#include <csignal>
#endif

namespace zorvan::cli {

#ifdef Q_OS_WIN

StandardOutput::StandardOutput(int fd, std::function<void(int)> failed)
    : fd_(fd), failed_(std::move(failed)) {
    handle_ = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    DWORD mode = 0;
    console_ = handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool StandardOutput::toConsole() const {
    return console_;
}

qint64 StandardOutput::writeConsole(const char* data, qint64 size) {
    const QString text = consoleText_.decode(QByteArrayView(data, size));
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    qsizetype done = 0;
    while (done < text.size()) {
        DWORD n = 0;
        if (!WriteConsoleW(handle_, wide + done, DWORD(text.size() - done), &n, nullptr)) {
            failed_(EIO);
            return -1;
        }
        done += n;
    }
    return size;
}

qint64 StandardOutput::writeData(const char* data, qint64 size) {
    if (console_) return writeConsole(data, size);
    qint64 done = 0;
    while (done < size) {
        DWORD n = 0;
        if (WriteFile(handle_, data + done, DWORD(size - done), &n, nullptr)) {
            done += n;
            continue;
        }
        const DWORD error = GetLastError();
        failed_(error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE          ? EPIPE
                : error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC
                                                                              : EIO);
        return -1;
    }
    return done;
}

#else

StandardOutput::StandardOutput(int fd, std::function<void(int)> failed)
    : fd_(fd), failed_(std::move(failed)) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool StandardOutput::toConsole() const {
    return false;
}

qint64 StandardOutput::writeData(const char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, size_t(size - done));
        if (n >= 0) {
            done += n;
            continue;
        }
        if (errno == EINTR) continue;
        const int error = errno;
        if (error == EPIPE) {
            std::signal(SIGPIPE, SIG_DFL);
            std::raise(SIGPIPE);
        }
        failed_(error);
        return -1;
    }
    return done;
}

#endif

}  // namespace zorvan::cli
