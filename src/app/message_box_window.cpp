#include "app/message_box_window.h"

#include <QApplication>
#include <QMessageBox>

#include <atomic>
#include <memory>

#include "base/gui_thread.h"
#include "base/message_box.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

QMessageBox* newMessageBox(const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::NoIcon, QStringLiteral("信息："), text, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

}  // namespace

void presentMessageBox(const std::string& text) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr || guiShuttingDown()) {
        return;
    }
    const QString message = QString::fromStdString(localToUtf8(text));
    if (isGuiThread()) {
        std::unique_ptr<QMessageBox> box(newMessageBox(message));
        box->exec();
        return;
    }
    // From a worker: show the box without a nested loop on the GUI thread and block only
    // this worker until the box is gone.
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto finish = [done] {
        done->store(true);
        notifyGuiWaiters();
    };
    postToGui([message, finish] {
        QMessageBox* box = newMessageBox(message);
        QObject::connect(box, &QMessageBox::finished, box, [box, finish] {
            finish();
            box->deleteLater();
        });
        QObject::connect(box, &QObject::destroyed, finish);
        box->show();
    });
    waitForGui([&] { return done->load(); });
}

void installMessageBoxPresenter() {
    setMessagePresenter(presentMessageBox);
}

}  // namespace quivra
