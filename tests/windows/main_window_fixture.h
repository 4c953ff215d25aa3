// A local site, a program folder of its own and the real main window, for window tests.
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
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "devsite/dev_site.h"
#include "net/text_encoding.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/shared_state.h"

namespace quivra {

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

class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        site_ = std::make_unique<devsite::DevSite>();
        ASSERT_TRUE(site_->start());
        // A death test's child process runs the suite again: it shares the folder.
        if (std::getenv("QUIVRA_WINDOW_TEST_FOLDER") == nullptr) {
            const std::filesystem::path own = std::filesystem::temp_directory_path() /
                                              ("quivra-window-test-" + std::to_string(::getpid()));
            ::setenv("QUIVRA_WINDOW_TEST_FOLDER", own.c_str(), 1);
        }
        folder_ = std::getenv("QUIVRA_WINDOW_TEST_FOLDER");
        std::filesystem::create_directories(folder_);
    }

    static void TearDownTestSuite() {
        site_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    void SetUp() override {
        ASSERT_TRUE(site_);
        std::error_code ignored;
        std::filesystem::remove(folder_ / "config.ini", ignored);
        loadSharedState(folder_.string());
        SharedState& state = sharedState();
        state.site.api = site_->baseUrl();
        state.site.main = site_->baseUrl();
        state.user.set({});
        state.video.set({});
        state.qualities.set({});
        site_->clearOverrides();
        site_->clearRequests();
        messages_.install();
        window_ = new MainWindow;
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

    static devsite::DevSite& site() { return *site_; }
    static std::filesystem::path folder() { return folder_; }

    QPointer<MainWindow> window_;
    MessageLog messages_;

  private:
    static inline std::unique_ptr<devsite::DevSite> site_;
    static inline std::filesystem::path folder_;
};

}  // namespace quivra
