#include "tools/gui/toolwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace zorvan {

ToolWindow::ToolWindow(const ToolFrame& frame, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(frame.formName));
    auto* scheme = new QLabel(QStringLiteral("http://"), this);
    name(scheme, frame.schemeName);
    domainBox_ = new QLineEdit(frame.domain, this);
    name(domainBox_, frame.boxName);
    domainBox_->setAccessibleName(QStringLiteral("域名"));
    scheme->setBuddy(domainBox_);
    queryButton_ = new QPushButton(frame.queryText, this);
    name(queryButton_, frame.queryName);
    returnButton_ = new QPushButton(QStringLiteral("返回其他"), this);
    name(returnButton_, frame.returnName);

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

void ToolWindow::name(QWidget* control, const char* name) const {
    if (*name) control->setObjectName(objectName() + u'.' + QLatin1String(name));
}

void ToolWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void ToolWindow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

}  // namespace zorvan
