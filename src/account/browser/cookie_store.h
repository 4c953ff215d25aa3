// A browser's cookie store (SQLite) read from a copy made in memory with SQLite's backup:
// the browser's file is only read, under a brief shared lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quivra {

struct StoredCookie {
    std::string host;
    std::string name;
    std::string value;           // plain value; "" when only the encrypted one is set
    std::string encryptedValue;  // Chromium's "v10"/"v11" bytes
    bool expired = false;
};

struct StoreRead {
    enum Failure { None, Locked, Unreadable };
    Failure failure = None;
    std::string reason;  // SQLite's message when unreadable
    std::vector<StoredCookie> cookies;
    int version = 0;  // Chromium's meta version: from 24 a value starts with its host's hash
};

// Firefox's cookies.sqlite (moz_cookies).
StoreRead readFirefoxStore(const std::string& path);
// Chromium's Cookies (cookies, meta).
StoreRead readChromiumStore(const std::string& path);

}  // namespace quivra
