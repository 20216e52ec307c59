#pragma once

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

#include "core/platform.h"

namespace zorvan::test {

// Records every message and opened address; answers messages from a queue (default: Ok), or
// through a callback that may act on the open window (e.g. inspect it) before answering.
class FakePlatform final : public Platform {
  public:
    FakePlatform() { setPlatform(this); }
    ~FakePlatform() override { setPlatform(nullptr); }

    MessageAnswer showMessage(const Message& message) override;
    void openUrl(const QUrl& url) override { opened.append(url); }
    QDateTime now() const override {
        return clock.isValid() ? clock : QDateTime::currentDateTime();
    }

    QStringList openedAddresses() const;

    QList<Message> messages;
    QQueue<MessageAnswer> answers;
    std::function<MessageAnswer(const Message&)> onMessage;
    QList<QUrl> opened;
    QDateTime clock;
};

}  // namespace zorvan::test
