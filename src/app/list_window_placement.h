// Where the download list window opens: where it was last closed, at the size it had,
// else beside the main window, never over it while the screen has room.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace quivra {

// The top left of a window of `size` (frame included) beside `mainFrame`: to its right,
// else to its left, else against the edge of `screen` on the roomier side, covering the
// main window as little as the screen allows; always on the screen.
QPoint besideMainWindow(const QRect& mainFrame, const QSize& size, const QRect& screen);

// Places the list window: the geometry kept in config.ini ([download]
// listWindowGeometry, "x,y,width,height") while it lies on a screen, else at its own size
// beside the main window (or at (80, 80) without one).
void placeListWindow(QWidget* list);
// Keeps the window's place and size for the next opening.
void keepListWindowPlace(const QWidget* list);

}  // namespace quivra
