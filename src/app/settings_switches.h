// The settings window's check boxes beyond the download folder and the thread number:
// what a part's MP4 carries, the tray, the clipboard, the completion notification and the
// characters file names keep.
// Each is a [download] key stored as it changes, as the window's other settings are.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the boxes one a row from top downwards in window; returns the bottom of the last.
int addSettingSwitches(QWidget* window, int top, DownloadCore& core);

}  // namespace quivra
