#include "app/startup.h"

#include <QFile>
#include <QStringDecoder>

#include "app/desktop_notification.h"
#include "download/list/download_list_start.h"
#include "download/list/download_queue.h"

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

}  // namespace quivra
