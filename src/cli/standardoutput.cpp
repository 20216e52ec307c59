#include "cli/standardoutput.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace zorvan::cli {

StandardOutput::StandardOutput(int fd, std::function<void(int)> failed)
    : fd_(fd), failed_(std::move(failed)) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
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

}  // namespace zorvan::cli
