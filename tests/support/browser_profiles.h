// Browser profiles made by a test in a home folder of its own: real SQLite files in the
// layouts the browsers write (Firefox's profiles.ini and cookies.sqlite, Chromium's
// Default/Cookies with values encrypted as the browser encrypts them).
#pragma once

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quivra::test {

struct ProfileCookie {
    std::string host;
    std::string name;
    std::string value;
    bool expired = false;
};

inline std::int64_t unixSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Runs sql with the blobs bound in order; false on any failure.
inline bool execute(sqlite3* db, const std::string& sql,
                    const std::vector<std::string>& blobs = {}) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return false;
    for (size_t i = 0; i < blobs.size(); ++i) {
        sqlite3_bind_blob(statement, static_cast<int>(i + 1), blobs[i].data(),
                          static_cast<int>(blobs[i].size()), SQLITE_TRANSIENT);
    }
    const int code = sqlite3_step(statement);
    sqlite3_finalize(statement);
    return code == SQLITE_DONE || code == SQLITE_ROW;
}

inline std::string firefoxStorePath(const std::filesystem::path& home) {
    return (home / ".mozilla/firefox/abcd1234.default-release/cookies.sqlite").string();
}

inline std::string chromiumStorePath(const std::filesystem::path& home) {
    return (home / ".config/chromium/Default/Cookies").string();
}

inline void makeFirefoxProfile(const std::filesystem::path& home,
                               const std::vector<ProfileCookie>& cookies) {
    const std::filesystem::path root = home / ".mozilla/firefox";
    std::filesystem::create_directories(root / "abcd1234.default-release");
    std::filesystem::create_directories(root / "zz.unused");
    std::ofstream(root / "profiles.ini")
        << "[Profile1]\nName=unused\nIsRelative=1\nPath=zz.unused\n\n"
           "[Profile0]\nName=default-release\nIsRelative=1\nPath=abcd1234.default-release\n"
           "Default=1\n\n[General]\nStartWithLastProfile=1\nVersion=2\n";
    sqlite3* db = nullptr;
    sqlite3_open(firefoxStorePath(home).c_str(), &db);
    execute(db, "PRAGMA journal_mode=WAL");
    execute(db,
            "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL "
            "DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, "
            "lastAccessed INTEGER, creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER)");
    for (const ProfileCookie& cookie : cookies) {
        const std::int64_t expiry = unixSeconds() + (cookie.expired ? -3600 : 86400 * 30);
        execute(db,
                "INSERT INTO moz_cookies (name, value, host, path, expiry) VALUES (?, ?, ?, '/', " +
                    std::to_string(expiry) + ")",
                {cookie.name, cookie.value, cookie.host});
    }
    sqlite3_close(db);
}

// As the browser encrypts on Linux: "v10" or "v11" + AES-128-CBC, key PBKDF2-HMAC-SHA1
// (password, "saltysalt", 1 round), IV of 16 blanks; from version 24 the plain value
// starts with the SHA-256 of the host.
inline std::string chromiumEncrypt(const std::string& plain, const std::string& password,
                                   const std::string& prefix) {
    unsigned char key[16];
    PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                           reinterpret_cast<const unsigned char*>("saltysalt"), 9, 1, 16, key);
    const std::string iv(16, ' ');
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(context, EVP_aes_128_cbc(), nullptr, key,
                       reinterpret_cast<const unsigned char*>(iv.data()));
    std::string out(plain.size() + 32, '\0');
    int written = 0;
    int last = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    EVP_EncryptUpdate(context, bytes, &written,
                      reinterpret_cast<const unsigned char*>(plain.data()),
                      static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(context, bytes + written, &last);
    EVP_CIPHER_CTX_free(context);
    out.resize(static_cast<size_t>(written + last));
    return prefix + out;
}

inline void makeChromiumProfile(const std::filesystem::path& home,
                                const std::vector<ProfileCookie>& cookies, int version = 24,
                                const std::string& password = "peanuts") {
    std::filesystem::create_directories(home / ".config/chromium/Default");
    sqlite3* db = nullptr;
    sqlite3_open(chromiumStorePath(home).c_str(), &db);
    execute(db,
            "CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR)");
    execute(db, "INSERT INTO meta VALUES ('version', '" + std::to_string(version) + "')");
    execute(db,
            "CREATE TABLE cookies (creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, "
            "top_frame_site_key TEXT NOT NULL DEFAULT '', name TEXT NOT NULL, value TEXT NOT "
            "NULL, encrypted_value BLOB NOT NULL DEFAULT '', path TEXT NOT NULL DEFAULT '/', "
            "expires_utc INTEGER NOT NULL, is_secure INTEGER NOT NULL DEFAULT 0, "
            "is_httponly INTEGER NOT NULL DEFAULT 0, has_expires INTEGER NOT NULL DEFAULT 1, "
            "is_persistent INTEGER NOT NULL DEFAULT 1)");
    const std::int64_t now = (unixSeconds() + 11644473600) * 1'000'000;
    for (const ProfileCookie& cookie : cookies) {
        std::string plain = cookie.value;
        if (version >= 24) {
            unsigned char hash[SHA256_DIGEST_LENGTH];
            SHA256(reinterpret_cast<const unsigned char*>(cookie.host.data()), cookie.host.size(),
                   hash);
            plain = std::string(reinterpret_cast<char*>(hash), sizeof hash) + plain;
        }
        const std::string prefix = password == "peanuts" ? "v10" : "v11";
        const std::int64_t expires = now + (cookie.expired ? -3'600'000'000LL : 86'400'000'000LL);
        execute(db,
                "INSERT INTO cookies (creation_utc, host_key, name, value, encrypted_value, "
                "expires_utc) VALUES (" +
                    std::to_string(now) + ", ?, ?, '', ?, " + std::to_string(expires) + ")",
                {cookie.host, cookie.name, chromiumEncrypt(plain, password, prefix)});
    }
    sqlite3_close(db);
}

}  // namespace quivra::test
