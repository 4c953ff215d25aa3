// A local site on loopback and a program folder of its own, shared by a test suite. Each
// test starts from empty shared records pointing at the site.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include <unistd.h>

#include "devsite/dev_site.h"
#include "shell/shared_state.h"

namespace quivra {

class LocalSiteTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        site_ = std::make_unique<devsite::DevSite>();
        ASSERT_TRUE(site_->start());
        folder_ = std::filesystem::temp_directory_path() /
                  ("quivra-video-test-" + std::to_string(::getpid()));
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
        state.user.set({});
        state.video.set({});
        state.qualities.set({});
        site_->clearOverrides();
        site_->clearRequests();
    }

    void setUserCookie(const std::string& cookie) {
        sharedState().user.update([&](UserRecord& user) { user.cookie = cookie; });
    }

    static devsite::DevSite& site() { return *site_; }
    static std::string configPath() { return (folder_ / "config.ini").string(); }

  private:
    static inline std::unique_ptr<devsite::DevSite> site_;
    static inline std::filesystem::path folder_;
};

}  // namespace quivra
