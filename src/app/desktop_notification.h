// Desktop notifications through the freedesktop notification service on the session bus.
#pragma once

#include <QString>

#include <memory>

#include "download/list/download_queue.h"

namespace quivra {

// Sends one notification without waiting for an answer. False when there is no session
// bus; where the bus has no notification service the call goes nowhere, quietly.
bool showDesktopNotification(const QString& summary, const QString& body);

// "下载完成" with the video's title once every part of a video in the list is done.
std::shared_ptr<DownloadQueueListener> makeFinishedVideoNotifier();

}  // namespace quivra
