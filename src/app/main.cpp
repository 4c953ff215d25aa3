// Start of the program: shared state, download core, skin, main window, event loop.
#include <QApplication>

#include <string>

#include "app/main_window.h"
#include "app/message_box_window.h"
#include "app/startup.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "download/download_core.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Child windows hide the main window; closing the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    quivra::installMessageBoxPresenter();

    const std::string programDirectory = quivra::executableDirectory();
    quivra::loadSharedState(programDirectory);
    app.setStyleSheet(quivra::loadSkinSheet(quivra::skinFilePath(programDirectory)));
    const quivra::CoreStart core =
        quivra::startDownloadCore(quivra::sharedState().download.get().threadNumber, true);
    if (!core.failure.empty()) {
        quivra::showMessageBox(core.failure);
        quivra::endProgram();
    }

    auto* window = new quivra::MainWindow;
    window->move(50, 50);
    window->show();
    quivra::startDownloadList();
    if (!core.storeMessage.empty()) quivra::showMessageBox(core.storeMessage);
    return app.exec();
}
