// The main window as the download buttons and jobs see it.
#pragma once

#include <memory>

#include "download/download_view.h"
#include "download/list/download_queue.h"

namespace quivra {

class MainWindow;

// Every call is carried out on the GUI thread; once the window is gone, reads give
// nothing and writes are dropped.
std::shared_ptr<DownloadView> makeWindowDownloadView(MainWindow* window);

// Carries every item change to the GUI thread and shows it in the window's row of that
// part (showItemInRow); nothing once the window is gone.
std::shared_ptr<DownloadQueueListener> makeRowStateListener(MainWindow* window);

}  // namespace quivra
