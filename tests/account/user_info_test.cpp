#include "account/user_info.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

using devsite::kMemberCookie;
using devsite::kPlainCookie;

// Runs with the zone fixed, so the millisecond due dates read the same everywhere.
class UserInfoTest : public test::LocalSiteTest {
  protected:
    void SetUp() override {
        test::LocalSiteTest::SetUp();
        if (const char* zone = std::getenv("TZ")) oldZone_ = zone;
        setenv("TZ", "CST-8", 1);
        tzset();
    }
    void TearDown() override {
        if (oldZone_.empty()) {
            unsetenv("TZ");
        } else {
            setenv("TZ", oldZone_.c_str(), 1);
        }
        tzset();
    }

    // The keys of section user in the order they stand in config.ini.
    std::vector<std::string> userKeysInFileOrder() const {
        std::ifstream file(configPath());
        std::vector<std::string> keys;
        std::string line;
        bool inUser = false;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line.front() == '[') {
                inUser = line == "[user]";
            } else if (inUser && line.find('=') != std::string::npos) {
                keys.push_back(line.substr(0, line.find('=')));
            }
        }
        return keys;
    }

    std::string stored(const char* key) const {
        return localToUtf8(readConfigItem(configPath(), "user", key));
    }

  private:
    std::string oldZone_;
};

TEST_F(UserInfoTest, MemberIsStoredInTheRecordAndInConfig) {
    std::string cookie = kMemberCookie;
    ASSERT_TRUE(fetchUserInfo(cookie));

    const UserRecord user = sharedState().user.get();
    EXPECT_EQ(user.mid, "20001");
    EXPECT_EQ(localToUtf8(user.name), "星河漫步者");
    EXPECT_EQ(user.headImg, "http://i0.example.invalid/face/20001.jpg");
    EXPECT_EQ(user.coinNumber, "128.5");
    EXPECT_EQ(user.moral, "70");
    EXPECT_TRUE(user.emailVerify);
    EXPECT_TRUE(user.mobileVerify);
    EXPECT_EQ(user.level.currentLevel, "5");
    EXPECT_EQ(user.level.currentExp, "12345");
    EXPECT_EQ(user.level.nextExp, "28800");
    EXPECT_TRUE(user.vip.status);
    EXPECT_EQ(user.vip.dueDate, "2027-1-1 00:00:00");
    EXPECT_EQ(user.cookie, cookie);

    const std::vector<std::string> order = {
        "mid",           "name",         "headImg",    "coinNumber",         "moral",
        "emailVerify",   "mobileVerify", "cookie",     "level.currentLevel", "level.currentExp",
        "level.nextExp", "vip.status",   "vip.dueDate"};
    EXPECT_EQ(userKeysInFileOrder(), order);
    EXPECT_EQ(stored("mid"), "20001");
    EXPECT_EQ(stored("name"), "星河漫步者");
    EXPECT_EQ(stored("headImg"), "http://i0.example.invalid/face/20001.jpg");
    EXPECT_EQ(stored("coinNumber"), "128.5");
    EXPECT_EQ(stored("moral"), "70");
    EXPECT_EQ(stored("emailVerify"), "1");
    EXPECT_EQ(stored("mobileVerify"), "1");
    EXPECT_EQ(stored("cookie"), kMemberCookie);
    EXPECT_EQ(stored("level.currentLevel"), "5");
    EXPECT_EQ(stored("level.currentExp"), "12345");
    EXPECT_EQ(stored("level.nextExp"), "28800");
    EXPECT_EQ(stored("vip.status"), "1");
    EXPECT_EQ(stored("vip.dueDate"), "2027-1-1 00:00:00");

    // The start of the next run reads the same user back.
    const UserRecord loaded = loadUserRecord(configPath());
    EXPECT_EQ(loaded.mid, user.mid);
    EXPECT_EQ(loaded.name, user.name);
    EXPECT_EQ(loaded.cookie, user.cookie);
    EXPECT_EQ(loaded.vip.dueDate, user.vip.dueDate);

    const auto requests = site().requestsTo("/x/web-interface/nav");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].query, "build=0&mobi_app=web");
    EXPECT_EQ(requests[0].header("Cookie"), kMemberCookie);
}

TEST_F(UserInfoTest, PlainUserHasNoMembershipAndAnEpochDueDate) {
    std::string cookie = std::string(kPlainCookie) + "; lang=zh";
    ASSERT_TRUE(fetchUserInfo(cookie));
    const UserRecord user = sharedState().user.get();
    EXPECT_EQ(user.mid, "20002");
    EXPECT_FALSE(user.emailVerify);
    EXPECT_TRUE(user.mobileVerify);
    EXPECT_FALSE(user.vip.status);
    EXPECT_EQ(user.vip.dueDate, "1970-1-1 08:00:00");  // vipDueDate 0
    EXPECT_EQ(user.cookie, cookie);
    EXPECT_EQ(stored("emailVerify"), "0");
    EXPECT_EQ(stored("vip.status"), "0");
    EXPECT_EQ(stored("cookie"), cookie);
}

TEST_F(UserInfoTest, RefusalKeepsTheMessageAndWritesNothing) {
    std::string member = kMemberCookie;
    ASSERT_TRUE(fetchUserInfo(member));
    std::string before;
    {
        std::ifstream file(configPath(), std::ios::binary);
        before.assign(std::istreambuf_iterator<char>(file), {});
    }

    std::string cookie = "SESSDATA=expired";
    EXPECT_FALSE(fetchUserInfo(cookie));
    const UserRecord user = sharedState().user.get();
    EXPECT_EQ(localToUtf8(user.failureMessage), "账号未登录");
    EXPECT_EQ(user.mid, "20001");
    EXPECT_EQ(user.cookie, kMemberCookie);

    std::ifstream file(configPath(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), before);

    // A later success keeps the failure message too.
    ASSERT_TRUE(fetchUserInfo(member));
    EXPECT_EQ(localToUtf8(sharedState().user.get().failureMessage), "账号未登录");
}

// The login window shows "登录失败，原因：" + the failure message: never with nothing after it.
TEST_F(UserInfoTest, UnusableAnswerSaysWhyAndChangesNothingElse) {
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] { site().overrideAnswer("/x/web-interface/nav", 200, "<html>Unavailable</html>"); },
         "回答不是JSON"},
        {[] { site().overrideAnswer("/x/web-interface/nav", 200, R"({"code":-352})"); },
         "站点拒绝（-352）"},
        {[] { sharedState().site.api = "http://127.0.0.1:1"; }, "服务器没有回应"},
    };
    for (const auto& [arrange, reason] : cases) {
        sharedState().user.update([](UserRecord& user) { user.failureMessage = "earlier"; });
        arrange();
        std::string cookie = kMemberCookie;
        EXPECT_FALSE(fetchUserInfo(cookie)) << reason;
        EXPECT_EQ(localToUtf8(sharedState().user.get().failureMessage), reason);
        EXPECT_EQ(sharedState().user.get().mid, "");
    }
    EXPECT_FALSE(findConfigItem(configPath(), "user", "mid").has_value());
}

// config.ini reads a value back only up to 10,239 bytes: a longer cookie must still hold
// the login after a restart.
TEST_F(UserInfoTest, LongCookieReadsBackWholeWithItsLogin) {
    UserRecord user;
    user.mid = "20001";
    user.cookie = "a=" + std::string(6000, 'a') + "; " + kMemberCookie +
                  "; b=" + std::string(9000, 'b') + "; lang=zh";
    keepUserRecord(user);
    // The longest pair that is not the login goes; the text is too long to print.
    const std::string kept = sharedState().user.get().cookie;
    EXPECT_TRUE(kept == "a=" + std::string(6000, 'a') + "; " + kMemberCookie + "; lang=zh")
        << kept.size();
    EXPECT_TRUE(loadUserRecord(configPath()).cookie == kept);
}

TEST_F(UserInfoTest, FlagsAreTrueOnlyForTheValueOne) {
    site().overrideAnswer("/x/web-interface/nav", 200,
                          R"({"code":0,"data":{"email_verified":true,"mobile_verified":"yes",)"
                          R"("vipStatus":2,"vipDueDate":1798732800}})",
                          "application/json", 1);
    std::string cookie = kMemberCookie;
    ASSERT_TRUE(fetchUserInfo(cookie));
    const UserRecord user = sharedState().user.get();
    EXPECT_FALSE(user.emailVerify);
    EXPECT_FALSE(user.mobileVerify);
    EXPECT_FALSE(user.vip.status);
    EXPECT_EQ(user.mid, "");  // missing fields are stored as they read
    EXPECT_EQ(stored("mid"), "");
    EXPECT_TRUE(findConfigItem(configPath(), "user", "mid").has_value());
    EXPECT_EQ(stored("emailVerify"), "0");
    EXPECT_EQ(stored("mobileVerify"), "0");
    // Ten digits: seconds at UTC+8.
    EXPECT_EQ(user.vip.dueDate.substr(0, 11), "2027-01-01 ");
}

}  // namespace
}  // namespace quivra
