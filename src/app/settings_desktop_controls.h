// The settings window's check boxes for life on the desktop: the tray, the clipboard and
// the completion notification, each stored in [download] as it changes.
#pragma once

class QWidget;

namespace quivra {

// Builds the boxes from top downwards in window; returns the bottom of the last one.
int addDesktopControls(QWidget* window, int top);

}  // namespace quivra
