// Start of the program: one copy per config.ini (a second start hands its addresses to
// the running one), shared state, download core, skin, main window, tray, event loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <string>

#include "app/address_intake.h"
#include "app/clipboard_watch.h"
#include "app/desktop_tray.h"
#include "app/download_list_window.h"
#include "app/main_window.h"
#include "app/message_box_window.h"
#include "app/program_icon.h"
#include "app/running_copy.h"
#include "app/startup.h"
#include "base/file_location.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "download/download_core.h"

namespace {

// QUIVRA_OPEN_LIST_AFTER_MS opens the download list window that long after the start and
// prints how long it took to open and show, for the list's memory benchmark.
void openListWindowWhenAsked(const std::shared_ptr<quivra::DownloadCore>& core) {
    bool valid = false;
    const int after = qEnvironmentVariableIntValue("QUIVRA_OPEN_LIST_AFTER_MS", &valid);
    if (!valid) return;
    QTimer::singleShot(after, [core] {
        QElapsedTimer clock;
        clock.start();
        quivra::DownloadListWindow::showFor(core);
        QCoreApplication::processEvents();
        std::fprintf(stderr, "list window opened in %lld ms\n",
                     static_cast<long long>(clock.elapsed()));
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string programDirectory = quivra::executableDirectory();
    const QStringList addresses = quivra::addressArguments(argc, argv);
    const std::string dataFolder = quivra::locateUserFiles(programDirectory).folder;
    switch (quivra::claimRunningCopy(dataFolder, addresses)) {
        case quivra::StartRole::First:
            break;
        case quivra::StartRole::HandedOver:
            return 0;
        case quivra::StartRole::Unreachable:
            std::fputs("另一个窗口程序正在运行，但没有应答\n", stderr);
            return 1;
    }

    QApplication app(argc, argv);
    // Child windows hide the main window; closing the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(quivra::programIcon());
    quivra::installMessageBoxPresenter();

    quivra::loadSharedState(programDirectory);
    app.setStyleSheet(quivra::loadSkinSheet(quivra::skinFilePath(programDirectory)));
    const quivra::CoreStart start =
        quivra::startDownloadCore(quivra::sharedState().download.get().threadNumber, true);
    const std::shared_ptr<quivra::DownloadCore> core = start.core;
    if (!start.failure.empty()) {
        quivra::showMessageBox(start.failure);
        quivra::endProgram(*core);
    }

    auto* window = new quivra::MainWindow(core);
    window->move(50, 50);
    window->show();
    quivra::startDownloadList(*core);
    quivra::startSubscriptions(*core);
    new quivra::DesktopTray(core, &app);
    new quivra::ClipboardWatch(core, &app);
    quivra::receiveAddresses(core, addresses);
    auto* server = new quivra::RunningCopyServer;
    server->setParent(&app);
    QObject::connect(
        server, &quivra::RunningCopyServer::addressesArrived, server,
        [core](const QStringList& handed) { quivra::receiveSecondStart(core, handed); });
    server->listen(dataFolder);
    if (!start.storeMessage.empty()) quivra::showMessageBox(start.storeMessage);
    openListWindowWhenAsked(core);
    return app.exec();
}
