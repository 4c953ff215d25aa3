#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "account/qr_login.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "devsite/dev_site.h"
#include "net/http_request.h"
#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

using namespace std::chrono_literals;

// The login window in memory: every effect recorded in UTF-8, in order.
class RecordingView : public QrLoginView {
  public:
    void setStatus(const std::string& text) override { record("status:" + localToUtf8(text)); }
    void setPicture(const std::string& bmp) override {
        std::lock_guard lock(mutex_);
        picture_ = bmp;
        effects_.push_back("picture:" + std::to_string(bmp.size()));
    }
    std::string picture() override {
        std::lock_guard lock(mutex_);
        return picture_;
    }
    void showMessage(const std::string& text) override { record("message:" + localToUtf8(text)); }
    void closeWindow() override { record("close"); }

    std::vector<std::string> effects() const {
        std::lock_guard lock(mutex_);
        return effects_;
    }
    // The effects without the picture, which every run that gets a code starts with.
    std::vector<std::string> afterPicture() const {
        std::vector<std::string> all = effects();
        if (!all.empty() && all.front().rfind("picture:", 0) == 0) all.erase(all.begin());
        return all;
    }
    std::string shownPicture() {
        std::lock_guard lock(mutex_);
        return picture_;
    }

    // Called with each recorded effect, outside the lock.
    std::function<void(const std::string&)> onEffect;

  private:
    void record(const std::string& effect) {
        {
            std::lock_guard lock(mutex_);
            effects_.push_back(effect);
        }
        if (onEffect) onEffect(effect);
    }

    mutable std::mutex mutex_;
    std::string picture_;
    std::vector<std::string> effects_;
};

class QrLoginTest : public test::LocalSiteSuite {
  protected:
    static void SetUpTestSuite() { startSite(test::processFolder("quivra-qr-login-test")); }

    static void TearDownTestSuite() {
        joinQrLoginWorkers();
        stopSite();
    }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(resetRecords());
        sharedState().site.login = site().baseUrl();
    }

    static std::vector<devsite::RecordedRequest> polls() {
        return site().requestsTo("/qrcode/getLoginInfo");
    }

    // Runs the worker to its end on this thread, with a short poll interval.
    void runToEnd(RecordingView& view) {
        CancelToken token;
        runQrLogin(view, token, 10ms);
    }
};

TEST(QrLoginAddress, MainPageAddressIsEncodedForTheGoUrl) {
    EXPECT_EQ(encodedMainPageAddress("https://www.quivra.com"), "https%3A%2F%2Fwww.quivra.com%2F");
    EXPECT_EQ(encodedMainPageAddress("http://127.0.0.1:8765"), "http%3A%2F%2F127.0.0.1%3A8765%2F");
}

TEST_F(QrLoginTest, ScanConfirmAndSuccessStoreTheAccountWithTheCookieThePollsSet) {
    site().setQrScript({{false, -4}, {false, -5}, {true, 0}});
    RecordingView view;
    runToEnd(view);

    const UserRecord user = sharedState().user.get();
    ASSERT_FALSE(user.name.empty());
    const std::vector<std::string> expected = {
        "status:等待扫描二维码",
        "status:请点击确认登录",
        "status:正在获取用户信息",
        "status:登陆成功",
        "message:登录成功，欢迎您：" + localToUtf8(user.name),
        "close"};
    EXPECT_EQ(view.afterPicture(), expected);
    EXPECT_EQ(view.shownPicture().substr(0, 2), "BM");

    // Every request carries the browser's User-Agent; the polls send the fixed body.
    const std::string agent = std::string(kBrowserUserAgentLine).substr(strlen("User-Agent: "));
    const auto asks = site().requestsTo("/qrcode/getLoginUrl");
    ASSERT_EQ(asks.size(), 1u);
    EXPECT_EQ(asks[0].method, "GET");
    EXPECT_EQ(asks[0].header("User-Agent"), agent);
    const auto sent = polls();
    ASSERT_EQ(sent.size(), 3u);
    const std::string body =
        "oauthKey=" + site().lastQrKey() + "&gourl=" + encodedMainPageAddress(site().baseUrl());
    for (const auto& poll : sent) {
        EXPECT_EQ(poll.method, "POST");
        EXPECT_EQ(poll.body, body);
        EXPECT_EQ(poll.header("User-Agent"), agent);
    }
    EXPECT_FALSE(sent[0].hasHeader("Cookie"));

    // The cookie comes from the successful poll's Set-Cookie lines, not from config.ini.
    EXPECT_NE(user.cookie.find(devsite::kMemberCookie), std::string::npos);
    const auto nav = site().requestsTo("/x/web-interface/nav");
    ASSERT_EQ(nav.size(), 1u);
    EXPECT_NE(nav[0].header("Cookie").find(devsite::kMemberCookie), std::string::npos);

    for (const char* key :
         {"mid", "name", "headImg", "coinNumber", "moral", "emailVerify", "mobileVerify", "cookie",
          "level.currentLevel", "level.currentExp", "level.nextExp", "vip.status", "vip.dueDate"}) {
        EXPECT_TRUE(findConfigItem(configPath(), "user", key).has_value()) << key;
    }
    EXPECT_EQ(readConfigItem(configPath(), "user", "cookie"), user.cookie);
    EXPECT_EQ(readConfigItem(configPath(), "user", "name"), user.name);
    EXPECT_EQ(readConfigItem(configPath(), "user", "vip.status"), "1");
    struct stat info {};
    ASSERT_EQ(::stat(configPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600);
}

TEST_F(QrLoginTest, ExpiredCodeOnTheFirstPollStopsWithoutAnotherRequest) {
    site().setQrScript({{false, -2}});
    RecordingView view;
    runToEnd(view);
    EXPECT_EQ(view.afterPicture(), std::vector<std::string>{"status:二维码已过期，请刷新"});
    EXPECT_EQ(polls().size(), 1u);
    EXPECT_TRUE(site().requestsTo("/x/web-interface/nav").empty());
    EXPECT_FALSE(std::filesystem::exists(configPath()));
}

TEST_F(QrLoginTest, UnexpectedCodeOrStatusStopsWithUnknownError) {
    site().setQrScript({{false, -4}, {false, 86038}});
    RecordingView unexpectedCode;
    runToEnd(unexpectedCode);
    EXPECT_EQ(unexpectedCode.afterPicture(),
              (std::vector<std::string>{"status:等待扫描二维码", "status:未知错误"}));
    EXPECT_EQ(polls().size(), 2u);

    site().clearRequests();
    site().overrideAnswer("/qrcode/getLoginInfo", 200, R"({"code":0,"data":-4})",
                          "application/json");
    RecordingView missingStatus;
    runToEnd(missingStatus);
    EXPECT_EQ(missingStatus.afterPicture(), std::vector<std::string>{"status:未知错误"});
    EXPECT_EQ(polls().size(), 1u);

    site().clearRequests();
    site().overrideAnswer("/qrcode/getLoginInfo", 200, R"({"status":"true","data":-4})",
                          "application/json");
    RecordingView textStatus;
    runToEnd(textStatus);
    EXPECT_EQ(textStatus.afterPicture(), std::vector<std::string>{"status:未知错误"});
}

TEST_F(QrLoginTest, RefusedAccountShowsTheSitesMessageAndStoresNothing) {
    site().setQrScript({{true, 0}});
    site().overrideAnswer("/x/web-interface/nav", 200, R"({"code":-101,"message":"账号未登录"})",
                          "application/json");
    RecordingView view;
    runToEnd(view);
    const std::vector<std::string> expected = {"status:正在获取用户信息", "status:账号未登录",
                                               "message:登录失败，原因：账号未登录"};
    EXPECT_EQ(view.afterPicture(), expected);
    EXPECT_FALSE(findConfigItem(configPath(), "user", "cookie").has_value());
}

TEST_F(QrLoginTest, BrokenAnswersEndTheWorkerSilently) {
    site().overrideAnswer("/qrcode/getLoginUrl", 500, "<html>busy</html>");
    RecordingView noCode;
    runToEnd(noCode);
    EXPECT_TRUE(noCode.effects().empty());
    EXPECT_TRUE(polls().empty());

    // An answer without an address gives no picture, so nothing is polled.
    site().clearOverrides();
    site().overrideAnswer("/qrcode/getLoginUrl", 200,
                          R"({"code":0,"status":true,"data":{"url":"","oauthKey":"k"}})",
                          "application/json");
    RecordingView noAddress;
    runToEnd(noAddress);
    EXPECT_EQ(noAddress.effects(), std::vector<std::string>{"picture:0"});
    EXPECT_TRUE(polls().empty());

    // A poll answered with a page instead of JSON keeps the last label.
    site().clearOverrides();
    site().setQrScript({{false, -4}});
    site().overrideAnswer("/qrcode/getLoginInfo", 502, "", "text/html");
    RecordingView brokenPoll;
    runToEnd(brokenPoll);
    EXPECT_TRUE(brokenPoll.afterPicture().empty());
    EXPECT_EQ(polls().size(), 1u);
}

TEST_F(QrLoginTest, CancelledWorkerSendsNothingMoreAndLeavesTheViewAlone) {
    site().setQrScript({{false, -4}});
    auto token = std::make_shared<CancelToken>();
    auto view = std::make_shared<RecordingView>();
    int waiting = 0;
    // The second "waiting" label cancels the worker, as a new code or a closed window would.
    view->onEffect = [&](const std::string& effect) {
        if (effect == "status:等待扫描二维码" && ++waiting == 2) token->cancel();
    };
    runQrLogin(*view, *token, 1ms);
    EXPECT_EQ(polls().size(), 2u);
    EXPECT_EQ(view->afterPicture().size(), 2u);

    // A cancel during the wait between polls ends the wait at once.
    site().clearRequests();
    auto second = std::make_shared<CancelToken>();
    auto secondView = std::make_shared<RecordingView>();
    startQrLoginWorker(second, secondView, 60s);
    for (int i = 0; i < 500 && polls().empty(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(polls().size(), 1u);
    const auto stopped = std::chrono::steady_clock::now();
    stopQrLoginWorker();
    joinQrLoginWorkers();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 30s);
    EXPECT_TRUE(second->cancelled());
    EXPECT_EQ(polls().size(), 1u);

    // Starting a new worker stops the one before it.
    site().clearRequests();
    auto first = std::make_shared<CancelToken>();
    startQrLoginWorker(first, std::make_shared<RecordingView>(), 60s);
    auto latest = std::make_shared<CancelToken>();
    startQrLoginWorker(latest, std::make_shared<RecordingView>(), 60s);
    EXPECT_TRUE(first->cancelled());
    EXPECT_FALSE(latest->cancelled());
    stopQrLoginWorker();
    joinQrLoginWorkers();
    EXPECT_TRUE(latest->cancelled());
    EXPECT_LE(polls().size(), 1u);
}

}  // namespace
}  // namespace quivra
