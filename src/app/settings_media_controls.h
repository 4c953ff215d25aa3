// The settings window's switches for what a part's MP4 carries besides its streams.
#pragma once

class QWidget;

namespace quivra {

// 写入视频信息 ([download] writeTags) and 保存封面 ([download] saveCover), side by side at
// the given height of the window; each change is stored at once, as the window's other
// settings are.
void addMediaControls(QWidget* window, int top);

}  // namespace quivra
