#include "app/address_intake.h"

#include "app/batch_window.h"
#include "app/main_window.h"
#include "download/download_core.h"
#include "download/list/download_queue.h"

namespace quivra {

namespace {

void addToBatchWindow(const std::shared_ptr<DownloadCore>& core, const QStringList& addresses) {
    BatchWindow::showFor(core)->addAddresses(addresses);
}

}  // namespace

void receiveAddresses(const std::shared_ptr<DownloadCore>& core, const QStringList& addresses) {
    if (addresses.isEmpty()) return;
    if (addresses.size() > 1) {
        addToBatchWindow(core, addresses);
        return;
    }
    if (MainWindow::instance() == nullptr) MainWindow::showMainWindow(core);
    MainWindow::instance()->setVideoUrl(addresses.first());
}

void receiveSecondStart(const std::shared_ptr<DownloadCore>& core, const QStringList& addresses) {
    MainWindow::showMainWindow(core);
    if (!addresses.isEmpty()) addToBatchWindow(core, addresses);
}

}  // namespace quivra
