#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

class QObject;

namespace zorvan {

// The platform services that the program's logic reaches through one seam, so that tests can
// answer questions, record opened addresses and fix the clock: message boxes, the browser and
// today's date.
enum class MessageIcon { None, Information, Question, Warning, Critical };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

struct Message {
    QObject* parent = nullptr;  // the window the box belongs to, if any
    MessageIcon icon = MessageIcon::None;
    QString title;
    QString text;
    MessageButtons buttons = MessageButtons::Ok;
};

class Platform {
  public:
    virtual ~Platform() = default;
    virtual MessageAnswer showMessage(const Message& message) = 0;
    virtual void openUrl(const QUrl& url) = 0;
    virtual QDateTime now() const = 0;
};

// The platform in use. Until one is installed, a default opens nothing, tells the time from the
// system clock and answers every message with its default button (the window program installs
// the real message boxes and the desktop's browser at start-up).
Platform& platform();

// Installs a platform (not owned); nullptr restores the default.
void setPlatform(Platform* platform);

// The application's own title, which message boxes without a title of their own carry.
inline const QString ApplicationTitle = QStringLiteral("Zorvan站长工具箱");

// Shorthands for the common message shapes.
void showInformation(QObject* parent, const QString& title, const QString& text);
bool askOkCancel(QObject* parent, const QString& title, const QString& text);

// Fixed date formats: short date "2010-5-12", general date and time "2010-5-12 9:05:07". One
// function each, for writing and for comparing.
QString shortDate(const QDate& date);
QString generalDateTime(const QDateTime& dateTime);
QString todayShortDate();

}  // namespace zorvan
