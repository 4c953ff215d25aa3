#include "app/controls_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "net/text_encoding.h"

namespace quivra {

QString toQString(const std::string& local) {
    return QString::fromStdString(localToUtf8(local));
}

QLabel* newLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(geometry);
    return label;
}

QLineEdit* newEdit(QWidget* parent, const char* name, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setGeometry(geometry);
    return edit;
}

QPushButton* newButton(QWidget* parent, const char* name, const QString& text,
                       const QRect& geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(geometry);
    return button;
}

}  // namespace quivra
