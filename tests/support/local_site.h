// The local site on loopback and a program folder of its own, shared by one test suite at a
// time, and the fresh shared records each test starts from.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "base/shared_state.h"
#include "devsite/dev_site.h"

namespace quivra::test {

// <temp>/<prefix>-<pid>: one folder per test process.
inline std::filesystem::path processFolder(const std::string& prefix) {
    return std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()));
}

class LocalSiteSuite : public ::testing::Test {
  protected:
    // For SetUpTestSuite: starts the site and makes the folder.
    static void startSite(const std::filesystem::path& folder) {
        site_ = std::make_unique<devsite::DevSite>();
        ASSERT_TRUE(site_->start());
        folder_ = folder;
        std::filesystem::create_directories(folder_);
    }

    // For TearDownTestSuite: stops the site and removes the folder with everything in it.
    static void stopSite() {
        site_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // Empty shared records loaded from the folder without a config file, pointing at the
    // site, which forgets its overrides, its refusals and the requests it saw.
    static void resetRecords() {
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
        site_->refuseListRequests(0, 0);
    }

    static devsite::DevSite& site() { return *site_; }
    // The requests for stream files: the paths under /media/.
    static std::vector<devsite::RecordedRequest> mediaRequests() {
        std::vector<devsite::RecordedRequest> media;
        for (devsite::RecordedRequest& request : site_->requests()) {
            if (request.path.starts_with("/media/")) media.push_back(std::move(request));
        }
        return media;
    }
    static const std::filesystem::path& folder() { return folder_; }
    static std::string configPath() { return (folder_ / "config.ini").string(); }

  private:
    static inline std::unique_ptr<devsite::DevSite> site_;
    static inline std::filesystem::path folder_;
};

// A suite on the local site whose tests each start from empty records.
class LocalSiteTest : public LocalSiteSuite {
  protected:
    static void SetUpTestSuite() { startSite(processFolder("quivra-site-test")); }
    static void TearDownTestSuite() { stopSite(); }
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(resetRecords()); }

    static void setUserCookie(const std::string& cookie) {
        sharedState().user.update([&](UserRecord& user) { user.cookie = cookie; });
    }
};

}  // namespace quivra::test
