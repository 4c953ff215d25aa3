#include "app/startup.h"

#include <QFile>
#include <QStringDecoder>

#include <ctime>

#include "app/desktop_notification.h"
#include "base/shared_state.h"
#include "download/list/download_list_start.h"
#include "download/list/download_queue.h"
#include "download/list/download_store.h"
#include "download/subscription_schedule.h"

namespace quivra {

namespace {

constexpr qint64 kLargestSkin = 1024 * 1024;

}  // namespace

std::string skinFilePath(const std::string& programDirectory) {
    return programDirectory + "/skin/简约白.qss";
}

QString loadSkinSheet(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestSkin) {
        return {};
    }
    const QByteArray bytes = file.read(kLargestSkin + 1);
    if (bytes.size() > kLargestSkin || bytes.contains('\0')) {
        return {};
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString sheet = decoder.decode(bytes);
    if (decoder.hasError()) {
        return {};
    }
    return sheet;
}

void startDownloadList(DownloadCore& core) {
    core.queue->addListener(makeFinishedVideoNotifier());
    resumeUnfinishedDownloads(*core.queue, core.settings.get().resumeOnStart);
}

void startSubscriptions(DownloadCore& core) {
    SubscriptionSchedule::Start started =
        SubscriptionSchedule::start(downloadStorePath(sharedState().configPath), core.queue,
                                    core.settings, core.site, [] { return std::time(nullptr); });
    core.subscriptions = std::move(started.schedule);
    if (core.subscriptions) core.subscriptions->addListener(makeSubscriptionNotifier());
}

}  // namespace quivra
