// Small builders for the windows' named controls, and local text shown in them.
#pragma once

#include <QRect>
#include <QString>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quivra {

// Local text as a QString.
QString toQString(const std::string& local);

// A label, edit box or button with its objectName, placed at `geometry` in `parent`. A label
// paints no background of its own, so it serves for the transparent labels too.
QLabel* newLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry);
QLineEdit* newEdit(QWidget* parent, const char* name, const QRect& geometry);
QPushButton* newButton(QWidget* parent, const char* name, const QString& text,
                       const QRect& geometry);

}  // namespace quivra
