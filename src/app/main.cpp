// Start of the program: shared state, download engine, skin, main window, event loop.
#include <QApplication>

#include <string>

#include "app/main_window.h"
#include "app/message_box_window.h"
#include "app/startup.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "download/download_engine.h"
#include "download/download_list_start.h"
#include "download/engine_settings.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Child windows hide the main window; closing the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    quivra::installMessageBoxPresenter();

    const std::string programDirectory = quivra::executableDirectory();
    quivra::downloadEngine().init(programDirectory, true, true);
    app.setStyleSheet(quivra::loadSkinSheet(quivra::skinFilePath(programDirectory)));
    quivra::loadSharedState(programDirectory);
    quivra::followDownloadSettings(quivra::downloadEngine(), quivra::sharedState().download.get());
    const std::string storeMessage = quivra::openDownloadList();

    auto* window = new quivra::MainWindow;  // starts the thread pool
    window->move(50, 50);
    window->show();
    quivra::startDownloadList();
    if (!storeMessage.empty()) quivra::showMessageBox(storeMessage);
    return app.exec();
}
