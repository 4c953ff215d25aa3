// The settings window's control of automatic retries: how many times a failed part is
// tried again by itself ([download] retries).
#pragma once

class QSpinBox;
class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the label and the box at `top` in the window; a change is stored in the shared
// record and config.ini and applies to the download list at once.
QSpinBox* addRetryControls(QWidget* window, int top, DownloadCore& core);

}  // namespace quivra
