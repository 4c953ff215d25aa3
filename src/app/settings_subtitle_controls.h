// 字幕语言 of the settings window: which of the uploader's subtitles a download takes.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the languages' box in one row at top y of window, showing the stored languages.
// They are stored ([download] subtitleLanguages) when the box is left; a text that is
// neither "all" nor a list of language tags is refused and the stored one shown again.
// Returns the row's bottom.
int addSubtitleControls(QWidget* window, int y, DownloadCore& core);

}  // namespace quivra
