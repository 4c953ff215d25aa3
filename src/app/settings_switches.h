// The settings window's check boxes beyond the download folder and the thread number:
// what a part's MP4 carries, the tray, the clipboard, the completion notification and the
// characters file names keep, the subtitles, the media-library files and the bullet comments.
// Each is a [download] key stored as it changes, as the window's other settings are.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the boxes two a row from top downwards in window; besideLast, when given, takes
// the cell after the last box. Returns the bottom of the last row.
int addSettingSwitches(QWidget* window, int top, DownloadCore& core, QWidget* besideLast);

}  // namespace quivra
