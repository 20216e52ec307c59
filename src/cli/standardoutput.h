#pragma once

#include <QIODevice>
#include <functional>

namespace zorvan::cli {

// The command's standard output. A result that cannot be written ends the command at once: a
// reader that went away (`zorvan-cli batch | head -1`) ends it by SIGPIPE without a word, as it
// ends any Unix tool (Qt Network ignores SIGPIPE, so a write would otherwise fail unnoticed and the
// whole list run on); any other failure (a full disk) is told through failed, which must not
// return.
class StandardOutput : public QIODevice {
  public:
    StandardOutput(int fd, std::function<void(int error)> failed);
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

  private:
    int fd_;
    std::function<void(int)> failed_;
};

}  // namespace zorvan::cli
