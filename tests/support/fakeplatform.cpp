#include "fakeplatform.h"

namespace zorvan::test {

MessageAnswer FakePlatform::showMessage(const Message& message) {
    messages.append(message);
    if (onMessage) return onMessage(message);
    return answers.isEmpty() ? MessageAnswer::Ok : answers.dequeue();
}

QStringList FakePlatform::openedAddresses() const {
    QStringList out;
    for (const QUrl& url : opened) out.append(url.toString(QUrl::FullyEncoded));
    return out;
}

}  // namespace zorvan::test
