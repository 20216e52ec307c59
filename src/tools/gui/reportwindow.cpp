#include "tools/gui/reportwindow.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/platform.h"
#include "tools/report.h"

namespace zorvan {

ReportWindow::ReportWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    const QString designCaption = QStringLiteral("复制结果");
    setWindowTitle(designCaption);

    title_ = new QLabel(designCaption, this);
    title_->setObjectName(QStringLiteral("Label1"));
    title_->setAlignment(Qt::AlignCenter);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    text_->setAccessibleName(QStringLiteral("报告"));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The report lines "反链" up by counting characters, which only a fixed-pitch font shows.
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    copy_ = new QPushButton(QStringLiteral("复 制 结 果"), this);
    copy_->setObjectName(QStringLiteral("Command1"));
    connect(copy_, &QPushButton::clicked, this, &ReportWindow::copyToClipboard);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(text_, 1);
    layout->addWidget(copy_, 0, Qt::AlignHCenter);
    resize(420, 360);
}

void ReportWindow::load(const QString& domain, const QString& reportText) {
    const QString caption = reportCaption(domain);
    setWindowTitle(caption);
    title_->setText(caption);
    centreOnScreen();
    text_->clear();
    text_->setPlainText(reportText);
}

void ReportWindow::centreOnScreen() {
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where) return;
    const QRect area = where->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void ReportWindow::copyToClipboard() {
    // The box keeps lines as paragraphs; the report's own line breaks are CR LF.
    QString text = text_->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    // Saying "copied" when the text never reached the clipboard would lose the user's report.
    if (clipboard->text() != text) {
        platform().showMessage({this, MessageIcon::Warning, ApplicationTitle,
                                QStringLiteral("复制失败"), MessageButtons::Ok});
        return;
    }
    platform().showMessage({this, MessageIcon::None, ApplicationTitle, QStringLiteral("复制成功"),
                            MessageButtons::Ok});
}

}  // namespace zorvan
