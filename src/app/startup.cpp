#include "app/startup.h"

#include <QFile>
#include <QStringDecoder>

#include "app/desktop_notification.h"
#include "base/shared_state.h"
#include "download/download_queue.h"
#include "download/download_store.h"
#include "download/thread_pool.h"

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

std::string openDownloadList() {
    StoreOpening opening = DownloadStore::open(downloadStorePath(sharedState().configPath));
    setCurrentDownloadQueue(std::make_shared<DownloadQueue>(threadPool(), std::move(opening.store),
                                                            std::move(opening.items)));
    return opening.movedAsideTo.empty() ? std::string() : brokenStoreMessage(opening.movedAsideTo);
}

void startDownloadList() {
    const std::shared_ptr<DownloadQueue> queue = currentDownloadQueue();
    queue->addListener(makeFinishedVideoNotifier());
    if (sharedState().download.get().resumeOnStart) queue->resumeInterrupted();
}

}  // namespace quivra
