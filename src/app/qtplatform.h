#pragma once

#include "core/platform.h"

namespace zorvan {

// The real platform: Qt message boxes, the desktop's browser, the system clock.
class QtPlatform final : public Platform {
  public:
    MessageAnswer showMessage(const Message& message) override;
    void openUrl(const QUrl& url) override;
    QDateTime now() const override;
};

}  // namespace zorvan
