// Login from a browser: profiles made here as real SQLite files hold cookies of the
// site's host, of its parent domain and of other hosts; only the site's come back.
#include "account/browser/browser_login.h"

#include <gtest/gtest.h>

#include <chrono>

#include "net/text_encoding.h"
#include "support/browser_profiles.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

using test::ProfileCookie;

constexpr const char* kSite = "https://www.quivra.com";

// The site's host and parent domain, a look-alike, a sibling, a host under another
// domain, an expired cookie and one of another site.
const std::vector<ProfileCookie> kCookies = {
    {".quivra.com", "SESSDATA", "parent-sessdata"},
    {"www.quivra.com", "SESSDATA", "own-sessdata"},
    {".quivra.com", "csrf_token", "csrf"},
    {"WWW.quivra.com", "UserID", "42"},
    {".evilquivra.com", "stolen", "1"},
    {"space.quivra.com", "sibling", "1"},
    {"www.quivra.com.example.org", "suffix", "1"},
    {".quivra.com", "old", "1", true},
    {".example.org", "other", "1"},
};
constexpr const char* kSiteCookie = "SESSDATA=own-sessdata; UserID=42; csrf_token=csrf";

TEST(BrowserLogin, OnlyTheSiteHostAndParentDomainCookiesAreRead) {
    struct Case {
        const char* name;
        Browser browser;
        int version;
        std::string password;
    };
    const Case cases[] = {
        {"firefox", Browser::Firefox, 0, ""},
        {"chromium v10", Browser::Chromium, 24, "peanuts"},
        {"chromium before the host hash", Browser::Chromium, 18, "peanuts"},
        // v11 without a secret service: the key of an empty password.
        {"chromium v11", Browser::Chromium, 24, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder home;
        if (c.browser == Browser::Firefox) {
            test::makeFirefoxProfile(home.path(), kCookies);
        } else {
            test::makeChromiumProfile(home.path(), kCookies, c.version, c.password);
        }
        const BrowserCookies found = readBrowserLogin(c.browser, home.path(), kSite);
        EXPECT_EQ(localToUtf8(found.failure), "");
        EXPECT_EQ(found.cookie, kSiteCookie);
    }
}

TEST(BrowserLogin, MissingLockedOrBrokenStoresSaySo) {
    test::TempFolder home;
    const auto failure = [&](Browser browser) {
        return localToUtf8(readBrowserLogin(browser, home.path(), kSite).failure);
    };
    EXPECT_EQ(failure(Browser::Firefox), "没有找到Firefox的用户配置");
    EXPECT_EQ(failure(Browser::Chromium), "没有找到Chromium的用户配置");

    test::makeFirefoxProfile(home.path(), {{".example.org", "other", "1"}});
    EXPECT_EQ(failure(Browser::Firefox), "浏览器中没有本站的登录信息，请先在浏览器中登录本站");

    // A browser in the middle of a write holds the store exclusively.
    test::makeChromiumProfile(home.path(), kCookies);
    sqlite3* browser = nullptr;
    ASSERT_EQ(sqlite3_open(test::chromiumStorePath(home.path()).c_str(), &browser), SQLITE_OK);
    ASSERT_TRUE(test::execute(browser, "BEGIN EXCLUSIVE"));
    ASSERT_TRUE(test::execute(browser, "DELETE FROM cookies WHERE name = 'other'"));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(failure(Browser::Chromium), "浏览器的Cookie库被锁定，请关闭浏览器后重试");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    test::execute(browser, "ROLLBACK");
    sqlite3_close(browser);
    EXPECT_EQ(readBrowserLogin(Browser::Chromium, home.path(), kSite).cookie, kSiteCookie);

    test::writeBytes(test::firefoxStorePath(home.path()), std::string(4096, 'x'));
    EXPECT_EQ(failure(Browser::Firefox).rfind("无法读取浏览器的Cookie库：", 0), 0u)
        << failure(Browser::Firefox);
}

// A value encrypted with a key the program cannot have is refused, not passed on garbled.
TEST(BrowserLogin, AValueOfAnotherKeyIsRefused) {
    test::TempFolder home;
    test::makeChromiumProfile(home.path(), {{".quivra.com", "SESSDATA", "x"}}, 24, "keyring");
    const BrowserCookies found = readBrowserLogin(Browser::Chromium, home.path(), kSite);
    EXPECT_EQ(found.cookie, "");
    EXPECT_EQ(localToUtf8(found.failure), "无法解密浏览器的Cookie（密钥不符）");
}

}  // namespace
}  // namespace quivra
