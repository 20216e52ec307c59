#include "core/platform.h"

#include <atomic>

namespace zorvan {
namespace {

class DefaultPlatform final : public Platform {
  public:
    MessageAnswer showMessage(const Message&) override { return MessageAnswer::Ok; }
    // A program without a desktop has no browser to hand an address to.
    void openUrl(const QUrl&) override {}
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

DefaultPlatform defaultPlatform;
std::atomic<Platform*> installed{nullptr};

}  // namespace

Platform& platform() {
    Platform* p = installed.load();
    return p ? *p : defaultPlatform;
}

void setPlatform(Platform* p) {
    installed = p;
}

void showInformation(QObject* parent, const QString& title, const QString& text) {
    platform().showMessage({parent, MessageIcon::Information, title, text, MessageButtons::Ok});
}

bool askOkCancel(QObject* parent, const QString& title, const QString& text) {
    return platform().showMessage({parent, MessageIcon::Question, title, text,
                                   MessageButtons::OkCancel}) == MessageAnswer::Ok;
}

QString shortDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-M-d"));
}

QString generalDateTime(const QDateTime& dateTime) {
    return dateTime.toString(QStringLiteral("yyyy-M-d H:mm:ss"));
}

QString todayShortDate() {
    return shortDate(platform().now().date());
}

}  // namespace zorvan
