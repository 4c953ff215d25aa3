// A local site shared by a test suite, and plain HTTP calls to it.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "devsite/dev_site.h"

namespace devsite_test {

using Json = nlohmann::ordered_json;

class SiteTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        site_ = std::make_unique<devsite::DevSite>();
        ASSERT_TRUE(site_->start());
    }
    static void TearDownTestSuite() { site_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(site_);
        site_->clearFaults();
        site_->clearOverrides();
        site_->clearRequests();
        site_->setBytesPerSecond(0);
        site_->setQrScript({});
        site_->refuseListRequests(0, 0);
    }

  public:
    static devsite::DevSite& site() { return *site_; }

    static httplib::Client client() {
        httplib::Client c("127.0.0.1", site_->port());
        c.set_read_timeout(20, 0);
        return c;
    }

    // GET that expects a JSON answer with status 200.
    static Json getJson(const std::string& target, const httplib::Headers& headers = {}) {
        auto result = client().Get(target, headers);
        if (!result || result->status != 200) return Json();
        return Json::parse(result->body, nullptr, false);
    }

  private:
    static inline std::unique_ptr<devsite::DevSite> site_;
};

}  // namespace devsite_test
