#include "app/address_intake.h"

#include "app/batch_window.h"
#include "app/main_window.h"
#include "download/list/download_queue.h"

namespace quivra {

namespace {

void addToBatchWindow(const QStringList& addresses) {
    BatchWindow::showFor(currentDownloadQueue())->addAddresses(addresses);
}

}  // namespace

void receiveAddresses(const QStringList& addresses) {
    if (addresses.isEmpty()) return;
    if (addresses.size() > 1) {
        addToBatchWindow(addresses);
        return;
    }
    if (MainWindow::instance() == nullptr) MainWindow::showMainWindow();
    MainWindow::instance()->setVideoUrl(addresses.first());
}

void receiveSecondStart(const QStringList& addresses) {
    MainWindow::showMainWindow();
    if (!addresses.isEmpty()) addToBatchWindow(addresses);
}

}  // namespace quivra
