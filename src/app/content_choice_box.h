// 下载内容 of the windows that start downloads of their own (视频列表, 批量下载): what the
// parts they start hold, the setting's choice unless changed there.
#pragma once

#include "base/records.h"

class QComboBox;
class QWidget;

namespace quivra {

// A box named "组合框_downloadContent" listing 音视频, 仅音频, 仅视频, showing the setting's.
QComboBox* newContentBox(QWidget* parent, const DownloadSettings& settings);

// The settings with the box's choice as their 下载内容, for the downloads the window starts.
DownloadSettings withChosenContent(DownloadSettings settings, const QComboBox* box);

}  // namespace quivra
