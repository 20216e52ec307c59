#include "tools/gui/toolwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace zorvan {
namespace {

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
    if (*name) widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

ToolWindow::ToolWindow(const ToolFrame& frame, QWidget* parent) : QWidget(parent) {
    auto* scheme = named(new QLabel(QStringLiteral("http://"), this), frame.schemeName);
    domainBox_ = named(new QLineEdit(frame.domain, this), frame.boxName);
    domainBox_->setAccessibleName(QStringLiteral("域名"));
    scheme->setBuddy(domainBox_);
    queryButton_ = named(new QPushButton(frame.queryText, this), frame.queryName);
    returnButton_ = named(new QPushButton(QStringLiteral("返回其他"), this), frame.returnName);

    frameRow_ = new QHBoxLayout;
    frameRow_->addWidget(scheme);
    frameRow_->addWidget(domainBox_, 1);
    frameRow_->addWidget(queryButton_);
    frameRow_->addWidget(returnButton_);
    column_ = new QVBoxLayout(this);
    column_->addLayout(frameRow_);
    resize(780, 480);

    connect(domainBox_, &QLineEdit::returnPressed, queryButton_, &QPushButton::click);
    connect(returnButton_, &QPushButton::clicked, this, &ToolWindow::returnRequested);
}

void ToolWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void ToolWindow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

}  // namespace zorvan
