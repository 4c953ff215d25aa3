// The settings window's speed limit and proxy controls, each stored in the shared record
// and config.ini as it changes and followed by the engine at once.
#pragma once

class QWidget;

namespace quivra {

struct DownloadCore;

// Builds the controls in window from y = top down; returns the y below the last one.
int addNetworkControls(QWidget* window, int top, DownloadCore& core);

}  // namespace quivra
