// The local site, a program folder of its own and the real main window, for window tests.
// Message boxes are recorded instead of shown; each test starts from empty records.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/main_window.h"
#include "base/message_box.h"
#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "download/download_core.h"
#include "download/download_schedule.h"
#include "download/engine/download_engine.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "support/local_site.h"
#include "support/program_job.h"

namespace quivra {

// A core as the program's start makes it, around the given list (a memory-only one on the
// program's pool by default).
inline std::shared_ptr<DownloadCore> windowCore(std::shared_ptr<DownloadQueue> queue = nullptr) {
    SharedState& state = sharedState();
    if (!queue) queue = std::make_shared<DownloadQueue>(threadPool(), test::programJob());
    auto schedule = std::make_shared<DownloadSchedule>(downloadEngine(), queue, systemLocalMinutes);
    return std::make_shared<DownloadCore>(DownloadCore{downloadEngine(), threadPool(),
                                                       std::move(queue), state.download, state.site,
                                                       systemLocalMinutes, std::move(schedule)});
}

// Collects the texts of every message box (UTF-8), from any thread.
class MessageLog {
  public:
    void install() {
        setMessagePresenter([this](const std::string& text) {
            std::lock_guard lock(mutex_);
            texts_.push_back(localToUtf8(text));
        });
    }
    std::vector<std::string> texts() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        texts_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

class MainWindowTest : public test::LocalSiteSuite {
  protected:
    static void SetUpTestSuite() {
        // A death test's child process runs the suite again: it shares the folder.
        if (std::getenv("QUIVRA_WINDOW_TEST_FOLDER") == nullptr) {
            const std::filesystem::path own = test::processFolder("quivra-window-test");
            ::setenv("QUIVRA_WINDOW_TEST_FOLDER", own.c_str(), 1);
        }
        startSite(std::getenv("QUIVRA_WINDOW_TEST_FOLDER"));
    }

    static void TearDownTestSuite() { stopSite(); }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(resetRecords());
        messages_.install();
        core_ = windowCore(windowQueue_);
        window_ = new MainWindow(core_);
        window_->move(50, 50);
        window_->show();
    }

    void TearDown() override {
        delete window_.data();
        setMessagePresenter(nullptr);
    }

    // Types the address, clicks 按钮_parse and waits until the parse has ended: the
    // status line written or a message shown.
    bool parse(const QString& address) {
        window_->videoNumberLabel()->clear();
        const size_t messagesBefore = messages_.texts().size();
        window_->setVideoUrl(address);
        QTest::mouseClick(window_->parseButton(), Qt::LeftButton);
        return QTest::qWaitFor(
            [&] {
                return !window_->videoNumberLabel()->text().isEmpty() ||
                       messages_.texts().size() > messagesBefore;
            },
            15000);
    }

    QAction* contextAction(const QString& text) const {
        for (QAction* action : window_->contextMenu()->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }

    // The list the window's core holds: a fixture may set it before SetUp.
    std::shared_ptr<DownloadQueue> windowQueue_;
    std::shared_ptr<DownloadCore> core_;
    QPointer<MainWindow> window_;
    MessageLog messages_;
};

// The main window with the real engine and a pool of three workers, for tests that
// download.
class DownloadingWindowTest : public MainWindowTest {
  protected:
    static void SetUpTestSuite() {
        MainWindowTest::SetUpTestSuite();
        ASSERT_TRUE(downloadEngine().init(folder().string(), true));
    }

    static void TearDownTestSuite() {
        downloadEngine().uninit();
        MainWindowTest::TearDownTestSuite();
    }

    void SetUp() override {
        MainWindowTest::SetUp();
        if (threadPool().threadCount() != 3) {
            threadPool().stop(0);
            ASSERT_TRUE(threadPool().start(3, true));
        }
    }
};

}  // namespace quivra
