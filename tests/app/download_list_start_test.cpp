// The download list at start-up: the store beside config.ini, the setting that lets
// unfinished parts continue, and the notification when a video is done.
#include <QCheckBox>
#include <QDBusConnection>

#include <filesystem>
#include <fstream>

#include "app/desktop_notification.h"
#include "app/settings_window.h"
#include "app/startup.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "download/list/download_list_start.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "main_window_fixture.h"
#include "support/program_job.h"
#include "support/run_program.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;

class DownloadListStartTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        store_ = folder() / "downloads.db";
    }
    void TearDown() override {
        EXPECT_TRUE(QTest::qWaitFor([] { return threadPool().isIdle(); }, 30000));
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(store_.string() + end);
        MainWindowTest::TearDown();
    }

    // A part that was downloading when the program ended.
    void leaveUnfinishedPart() {
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(store_.string() + end);
        DownloadItem item;
        item.id = 1;
        item.request.bvid = devsite::kOnePartBvid;
        item.request.cid = "9999";  // the site knows no such part: the job ends at once
        item.request.directory = (folder() / "start").string();
        item.request.outputPath = item.request.directory + "/x/01_p.mp4";
        item.state = ItemState::Running;
        DownloadStore::open(store_.string()).store->save(item, true);
    }

    fs::path store_;
};

TEST_F(DownloadListStartTest, StoreBesideConfigAndTheResumeSetting) {
    std::ofstream(store_) << "not a store";
    const DownloadListOpening broken =
        openDownloadList(threadPool(), test::programJob(), sharedState().configPath, 5);
    const std::string message = localToUtf8(broken.message);
    EXPECT_NE(message.find("downloads.db.broken-"), std::string::npos) << message;
    EXPECT_TRUE(broken.queue->items().empty());
    for (const auto& entry : fs::directory_iterator(folder())) {
        if (entry.path().filename().string().starts_with("downloads.db.broken-")) {
            fs::remove(entry.path());
        }
    }

    for (const bool on : {false, true}) {
        leaveUnfinishedPart();
        {
            SettingsWindow settings(core_);
            QCheckBox* box = settings.resumeOnStartBox();
            EXPECT_EQ(box->text(), "启动时继续未完成的下载");
            EXPECT_EQ(box->isChecked(), sharedState().download.get().resumeOnStart);
            box->setChecked(!on);
            box->setChecked(on);
        }
        EXPECT_EQ(readConfigItem(sharedState().configPath, "download", "resumeOnStart"),
                  on ? "1" : "0");
        sharedState().download.set(
            loadDownloadSettings(sharedState().configPath, sharedState().programDirectory));

        DownloadListOpening list =
            openDownloadList(threadPool(), test::programJob(), sharedState().configPath, 5);
        EXPECT_EQ(list.message, "");
        const std::shared_ptr<DownloadCore> core = windowCore(std::move(list.queue));
        startDownloadList(*core);
        const std::optional<DownloadItem> found = core->queue->item(1);
        ASSERT_TRUE(found);
        const DownloadItem& item = *found;
        if (on) {
            EXPECT_NE(item.state, ItemState::Paused);
        } else {
            EXPECT_EQ(item.state, ItemState::Paused);
            EXPECT_EQ(localToUtf8(item.stageText), "已暂停");
        }
        EXPECT_TRUE(QTest::qWaitFor([] { return threadPool().isIdle(); }, 30000));
    }
    fs::remove(folder() / "config.ini");
    EXPECT_TRUE(loadDownloadSettings(sharedState().configPath, "/").resumeOnStart);  // default on
}

// The freedesktop notification service, as a desktop runs it.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    QStringList texts;

  public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        texts << summary + "|" + body;
        return static_cast<uint>(texts.size());
    }
};

TEST(DesktopNotification, AFinishedVideoIsAnnouncedOnTheSessionBus) {
    // A private session bus, started by a plain fork and exec: the daemon forks itself
    // away and prints its address and process id.
    const test::ProgramRun bus = test::runProgram(
        "/usr/bin/dbus-daemon", {"--session", "--fork", "--print-address=1", "--print-pid=1"});
    ASSERT_EQ(bus.status, 0) << bus.err;
    const QList<QByteArray> printed = QByteArray::fromStdString(bus.out).trimmed().split('\n');
    ASSERT_EQ(printed.size(), 2) << bus.out;
    const QByteArray address = printed[0].trimmed();
    const pid_t busPid = printed[1].trimmed().toInt();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    // No notification service on the bus: the call goes nowhere, quietly.
    EXPECT_TRUE(showDesktopNotification("x", "y"));

    NotificationService service;
    QDBusConnection connection = QDBusConnection::connectToBus(QString(address), "service");
    ASSERT_TRUE(connection.registerObject("/org/freedesktop/Notifications", &service,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService("org.freedesktop.Notifications"));
    // With 下载完成时通知 off nothing is sent; messages on the bus keep their order, so
    // the one sent after it is the only one that arrives.
    sharedState().download.update([](DownloadSettings& s) { s.notifyOnFinish = false; });
    makeFinishedVideoNotifier()->videoFinished(devsite::kOnePartBvid, localText("静音的视频"));
    QApplication::processEvents();
    sharedState().download.update([](DownloadSettings& s) { s.notifyOnFinish = true; });
    makeFinishedVideoNotifier()->videoFinished(devsite::kOnePartBvid, localText("我的视频"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !service.texts.isEmpty(); }, 10000));
    QTest::qWait(100);
    EXPECT_EQ(service.texts, QStringList{"下载完成|我的视频 的全部分P已下载完成"});

    QDBusConnection::disconnectFromBus("service");
    ::kill(busPid, SIGTERM);
}

}  // namespace
}  // namespace quivra

#include "download_list_start_test.moc"
