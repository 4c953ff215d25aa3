#include "account/browser/browser_login.h"

#include <openssl/sha.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "account/browser/browser_profile.h"
#include "account/browser/chromium_crypt.h"
#include "account/browser/cookie_host.h"
#include "account/browser/cookie_store.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// From meta version 24 a decrypted value starts with the SHA-256 of its host.
constexpr int kHashedValueVersion = 24;
constexpr size_t kHostHashBytes = 32;

// A name and value that a Cookie header can carry as they are.
bool usable(const std::string& text) {
    return std::none_of(text.begin(), text.end(),
                        [](unsigned char c) { return c < 0x20 || c >= 0x7f || c == ';'; });
}

std::string sha256(const std::string& text) {
    unsigned char hash[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), hash);
    return {reinterpret_cast<const char*>(hash), sizeof hash};
}

// Chromium's plain value, or its encrypted one opened with the keys it may use. A wrong
// key can still end in valid padding: the host's hash (or, in older stores, text a
// header can carry) tells the right one.
std::optional<std::string> chromiumValue(const StoredCookie& cookie, int version,
                                         const std::vector<std::string>& keys) {
    if (!cookie.value.empty() || cookie.encryptedValue.empty()) return cookie.value;
    for (const std::string& key : keys) {
        std::optional<std::string> plain = decryptChromiumValue(cookie.encryptedValue, key);
        if (!plain) continue;
        if (version >= kHashedValueVersion) {
            if (plain->compare(0, kHostHashBytes, sha256(cookie.host)) != 0) continue;
            plain->erase(0, kHostHashBytes);
        } else if (!usable(*plain)) {
            continue;
        }
        return plain;
    }
    return std::nullopt;
}

std::vector<std::string> chromiumKeys(const std::vector<StoredCookie>& cookies) {
    std::vector<std::string> keys;
    const bool secretNeeded = std::any_of(cookies.begin(), cookies.end(), [](const auto& c) {
        return c.encryptedValue.starts_with("v11");
    });
    if (secretNeeded) {
        const std::string secret = chromiumSecretPassword();
        if (!secret.empty()) keys.push_back(chromiumKey(secret));
    }
    keys.push_back(chromiumKey("peanuts"));
    keys.push_back(chromiumKey(""));  // what a store made without any keyring uses
    return keys;
}

const char* browserName(Browser browser) {
    return browser == Browser::Firefox ? "Firefox" : "Chromium";
}

BrowserCookies failed(const std::string& utf8) {
    return {{}, utf8ToLocalText(utf8)};
}

}  // namespace

std::optional<Browser> browserFromName(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "firefox") return Browser::Firefox;
    if (lower == "chromium" || lower == "chrome") return Browser::Chromium;
    return std::nullopt;
}

BrowserCookies readBrowserLogin(Browser browser, const std::string& home,
                                const std::string& siteAddress) {
    const std::string path = cookieStorePath(browser, home);
    if (path.empty()) return failed(std::string("没有找到") + browserName(browser) + "的用户配置");
    const StoreRead read =
        browser == Browser::Firefox ? readFirefoxStore(path) : readChromiumStore(path);
    if (read.failure == StoreRead::Locked) {
        return failed("浏览器的Cookie库被锁定，请关闭浏览器后重试");
    }
    if (read.failure == StoreRead::Unreadable) {
        return failed("无法读取浏览器的Cookie库：" + read.reason);
    }

    const SiteHosts site = siteHostsOf(siteAddress);
    std::vector<StoredCookie> ours;
    for (const StoredCookie& cookie : read.cookies) {
        if (!cookie.expired && isSiteCookieHost(site, cookie.host)) ours.push_back(cookie);
    }
    if (ours.empty()) return failed("浏览器中没有本站的登录信息，请先在浏览器中登录本站");
    const std::vector<std::string> keys =
        browser == Browser::Chromium ? chromiumKeys(ours) : std::vector<std::string>{};

    // By name; the host's own cookie wins over its parent domain's.
    std::map<std::string, std::pair<bool, std::string>> byName;
    bool undecryptable = false;
    for (const StoredCookie& cookie : ours) {
        const std::optional<std::string> value = chromiumValue(cookie, read.version, keys);
        if (!value) {
            undecryptable = true;
            continue;
        }
        if (cookie.name.empty() || !usable(cookie.name) || !usable(*value)) continue;
        std::string host = cookie.host.starts_with('.') ? cookie.host.substr(1) : cookie.host;
        const bool own = host == site.host;
        auto [entry, added] = byName.try_emplace(cookie.name, own, *value);
        if (!added && own && !entry->second.first) entry->second = {own, *value};
    }
    if (byName.empty()) {
        return failed(undecryptable ? "无法解密浏览器的Cookie（密钥不符）"
                                    : "浏览器中没有本站的登录信息，请先在浏览器中登录本站");
    }
    BrowserCookies result;
    for (const auto& [name, entry] : byName) {
        if (!result.cookie.empty()) result.cookie += "; ";
        result.cookie += name + "=" + entry.second;
    }
    return result;
}

}  // namespace quivra
