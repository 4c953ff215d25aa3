#include "app/address_intake.h"

#include "app/main_window.h"

namespace quivra {

void receiveAddresses(const QStringList& addresses) {
    if (addresses.isEmpty()) return;
    if (MainWindow::instance() == nullptr) MainWindow::showMainWindow();
    MainWindow::instance()->setVideoUrl(addresses.first());
}

void receiveSecondStart(const QStringList& addresses) {
    MainWindow::showMainWindow();
    receiveAddresses(addresses);
}

}  // namespace quivra
