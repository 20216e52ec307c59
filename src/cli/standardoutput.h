#pragma once

#include <QIODevice>
#include <functional>

#ifdef Q_OS_WIN
#include <QStringDecoder>
#endif

namespace zorvan::cli {

// The command's standard output. A result that cannot be written ends the command at once: a
// reader that went away (`zorvan-cli batch | head -1`) ends it by SIGPIPE without a word, as it
// ends any Unix tool (Qt Network ignores SIGPIPE, so a write would otherwise fail unnoticed and the
// whole list run on); any other failure (a full disk) is told through failed, which must not
// return. On Windows, where there is no SIGPIPE, the reader gone is told as EPIPE.
class StandardOutput : public QIODevice {
  public:
    StandardOutput(int fd, std::function<void(int error)> failed);
    bool isSequential() const override { return true; }
    // Whether the output is a console window. Windows shows a console's text through its UTF-16
    // interface whatever the console's code page; a pipe or a file takes the bytes unchanged.
    bool toConsole() const;

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

  private:
    int fd_;
    std::function<void(int)> failed_;
#ifdef Q_OS_WIN
    void* handle_ = nullptr;
    bool console_ = false;
    // Keeps a UTF-8 sequence split between two writes until its end arrives.
    QStringDecoder consoleText_{QStringDecoder::Utf8};
    qint64 writeConsole(const char* data, qint64 size);
#endif
};

}  // namespace zorvan::cli
