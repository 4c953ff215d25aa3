// The search window's download items: every part of the hits, at the default qualities,
// handed to the batch window, which parses them and shows how each went.
#include <QAction>
#include <QMenu>
#include <QTreeWidget>

#include "app/batch_window.h"
#include "app/search_window.h"
#include "download/list/download_queue.h"

namespace quivra {

void SearchWindow::addDownloadItems() {
    contextMenu_->addSeparator();
    contextMenu_->addAction(QStringLiteral("下载此视频"), this, &SearchWindow::downloadVideo);
    contextMenu_->addAction(QStringLiteral("下载选中的视频"), this,
                            &SearchWindow::downloadSelectedVideos);
}

void SearchWindow::downloadVideo() {
    const QString bvid = selectedCell(BvidColumn);
    if (!bvid.isEmpty()) downloadBvids({bvid});
}

void SearchWindow::downloadSelectedVideos() {
    QStringList bvids;
    // In the list's order, whatever order they were selected in.
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        if (item->isSelected()) bvids.append(item->text(BvidColumn));
    }
    if (!bvids.isEmpty()) downloadBvids(bvids);
}

void SearchWindow::downloadBvids(const QStringList& bvids) {
    BatchWindow* batch = BatchWindow::showFor(core_);
    batch->addAddresses(bvids);
    batch->start();
}

}  // namespace quivra
