#include "history/historylines.h"

#include <QIODevice>
#include <cstring>

#include "core/localfile.h"

namespace zorvan {
namespace {

// Large enough that a file is read and written in few calls, small beside any file worth
// streaming.
constexpr qsizetype PieceSize = 1 << 20;

}  // namespace

bool HistoryLineReader::next(QByteArrayView* line) {
    if (done_) return false;
    for (;;) {
        // A CR LF needs its CR inside the line, so the search starts a byte in.
        qsizetype from = std::max(scan_, pos_ + 1);
        while (from < buffer_.size()) {
            const auto* found = static_cast<const char*>(
                std::memchr(buffer_.constData() + from, '\n', size_t(buffer_.size() - from)));
            if (!found) break;
            const qsizetype at = found - buffer_.constData();
            if (buffer_.at(at - 1) == '\r') {
                *line = QByteArrayView(buffer_).sliced(pos_, at - 1 - pos_);
                pos_ = scan_ = at + 1;
                return true;
            }
            from = at + 1;
        }
        scan_ = buffer_.size();
        if (eof_) {
            *line = QByteArrayView(buffer_).sliced(pos_);
            done_ = true;
            return true;
        }
        buffer_.remove(0, pos_);
        scan_ -= pos_;
        pos_ = 0;
        const qsizetype kept = buffer_.size();
        buffer_.resize(kept + PieceSize);
        const qint64 got = in_->read(buffer_.data() + kept, PieceSize);
        buffer_.resize(kept + std::max<qint64>(got, 0));
        if (got <= 0) {
            eof_ = true;
            failed_ = got < 0;
        }
    }
}

void HistoryLineWriter::line(QByteArrayView text) {
    if (!first_) buffer_.append("\r\n");
    first_ = false;
    buffer_.append(text);
    if (buffer_.size() >= PieceSize) drain();
}

void HistoryLineWriter::endings(int n) {
    for (int i = 0; i < n; ++i) buffer_.append("\r\n");
}

bool HistoryLineWriter::finish() {
    drain();
    return !failed_;
}

void HistoryLineWriter::drain() {
    if (out_ && !failed_ && !writeAll(*out_, buffer_)) failed_ = true;
    buffer_.clear();
}

QByteArrayView trimHistorySpaces(QByteArrayView bytes) {
    while (!bytes.isEmpty() && bytes.front() == ' ') bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && bytes.back() == ' ') bytes.chop(1);
    return bytes;
}

QByteArrayView recordDateField(QByteArrayView line) {
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? line : line.first(eq);
}

}  // namespace zorvan
