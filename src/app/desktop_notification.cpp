#include "app/desktop_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "app/controls_window.h"
#include "base/gui_thread.h"
#include "base/shared_state.h"

namespace quivra {

namespace {

class FinishedVideoNotifier : public DownloadQueueListener {
  public:
    void itemChanged(const DownloadItem&) override {}
    void itemRemoved(std::int64_t) override {}
    void videoFinished(const std::string&, const std::string& videoTitle) override {
        if (!sharedState().download.get().notifyOnFinish) return;
        postToGui([title = toQString(videoTitle)] {
            showDesktopNotification(QStringLiteral("下载完成"),
                                    title + QStringLiteral(" 的全部分P已下载完成"));
        });
    }
};

class SubscriptionNotifier : public SubscriptionListener {
  public:
    void subscriptionChecked(const CheckOutcome& outcome) override {
        if (outcome.newVideos <= 0) return;
        postToGui(
            [notice = newVideosNotice(outcome)] { showDesktopNotification(notice, QString()); });
    }
    void subscriptionsChanged(std::int64_t) override {}
};

}  // namespace

QString newVideosNotice(const CheckOutcome& outcome) {
    return QStringLiteral("订阅「") + toQString(outcome.checked.name) + QStringLiteral("」：") +
           QString::number(outcome.newVideos) + QStringLiteral("个新视频");
}

std::shared_ptr<SubscriptionListener> makeSubscriptionNotifier() {
    return std::make_shared<SubscriptionNotifier>();
}

bool showDesktopNotification(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // app name, replaces id, icon, summary, body, actions, hints, expiry (-1: the server's)
    call << QStringLiteral("Quivra视频下载器") << 0u << QStringLiteral("quivra-downloader")
         << summary << body << QStringList() << QVariantMap() << -1;
    return bus.send(call);
}

std::shared_ptr<DownloadQueueListener> makeFinishedVideoNotifier() {
    return std::make_shared<FinishedVideoNotifier>();
}

}  // namespace quivra
