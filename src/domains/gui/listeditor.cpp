#include "domains/gui/listeditor.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/platform.h"
#include "domains/domainlist.h"

namespace zorvan {

ListEditor::ListEditor(const QString& configPath, QWidget* parent)
    : QDialog(parent), configPath_(configPath) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(ApplicationTitle);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto* hintArea = new QWidget(this);
    hintArea->setObjectName(QStringLiteral("Picture1"));
    auto* hint = new QLabel(QStringLiteral("设置常用域名，一行一个，字母小写。"), hintArea);
    hint->setObjectName(QStringLiteral("Label1"));
    auto* hintLayout = new QVBoxLayout(hintArea);
    hintLayout->addWidget(hint);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    text_->setAccessibleName(QStringLiteral("常用域名"));
    text_->setAccessibleDescription(hint->text());
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setTabChangesFocus(true);
    hint->setBuddy(text_);

    save_ = new QPushButton(QStringLiteral("保 存 域 名  (不带http://)"), this);
    save_->setObjectName(QStringLiteral("Command1"));
    save_->setAutoDefault(false);
    connect(save_, &QPushButton::clicked, this, &ListEditor::saveDomainList);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hintArea);
    layout->addWidget(text_, 1);
    layout->addWidget(save_);
    resize(360, 300);

    text_->setPlainText(editorTextFromValue(readDomainListValue(configPath_)));
}

void ListEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
}

void ListEditor::saveDomainList() {
    const QString text = text_->toPlainText();
    if (text.isEmpty()) {
        platform().showMessage({this, MessageIcon::None, QString(), QStringLiteral("地址不能为空"),
                                MessageButtons::Ok});
        return;
    }
    const bool written = writeDomainListValue(configPath_, valueFromEditorText(text));
    Q_EMIT saved(written);
    accept();
}

}  // namespace zorvan
