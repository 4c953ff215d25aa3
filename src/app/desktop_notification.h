// Desktop notifications through the freedesktop notification service on the session bus.
#pragma once

#include <QString>

#include <memory>

#include "download/list/download_queue.h"
#include "download/subscription_schedule.h"

namespace quivra {

// Sends one notification without waiting for an answer. False when there is no session
// bus; where the bus has no notification service the call goes nowhere, quietly.
bool showDesktopNotification(const QString& summary, const QString& body);

// "下载完成" with the video's title once every part of a video in the list is done.
std::shared_ptr<DownloadQueueListener> makeFinishedVideoNotifier();

// "订阅「名称」：N个新视频" after a check that found N > 0.
QString newVideosNotice(const CheckOutcome& outcome);
std::shared_ptr<SubscriptionListener> makeSubscriptionNotifier();

}  // namespace quivra
