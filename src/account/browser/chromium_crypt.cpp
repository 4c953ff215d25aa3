#include "account/browser/chromium_crypt.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#ifdef QUIVRA_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace quivra {

namespace {

constexpr int kKeyBytes = 16;

}  // namespace

std::string chromiumKey(const std::string& password) {
    std::string key(kKeyBytes, '\0');
    const std::string salt = "saltysalt";
    PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                           reinterpret_cast<const unsigned char*>(salt.data()),
                           static_cast<int>(salt.size()), 1, kKeyBytes,
                           reinterpret_cast<unsigned char*>(key.data()));
    return key;
}

std::optional<std::string> decryptChromiumValue(const std::string& encrypted,
                                                const std::string& key) {
    if (encrypted.size() < 3 + kKeyBytes ||
        (encrypted.compare(0, 3, "v10") != 0 && encrypted.compare(0, 3, "v11") != 0)) {
        return std::nullopt;
    }
    const std::string body = encrypted.substr(3);
    if (body.size() % kKeyBytes != 0) return std::nullopt;
    const std::string iv(kKeyBytes, ' ');
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
    std::string plain(body.size() + kKeyBytes, '\0');
    int written = 0;
    int last = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(body.data());
    auto* out = reinterpret_cast<unsigned char*>(plain.data());
    if (!context ||
        EVP_DecryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.data()),
                           reinterpret_cast<const unsigned char*>(iv.data())) != 1 ||
        EVP_DecryptUpdate(context.get(), out, &written, in, static_cast<int>(body.size())) != 1 ||
        EVP_DecryptFinal_ex(context.get(), out + written, &last) != 1) {
        return std::nullopt;  // a wrong key shows as bad padding
    }
    plain.resize(static_cast<size_t>(written + last));
    return plain;
}

std::string chromiumSecretPassword() {
#ifdef QUIVRA_HAVE_LIBSECRET
    // Without a session bus the library would try to start one: nothing to ask then.
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if ((bus == nullptr || *bus == '\0') &&
        (runtime == nullptr || !std::filesystem::exists(std::string(runtime) + "/bus"))) {
        return {};
    }
    SecretSchema schema{};
    schema.name = "chrome_libsecret_os_crypt_password_v2";
    schema.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
    schema.attributes[0] = {"application", SECRET_SCHEMA_ATTRIBUTE_STRING};
    for (const char* application : {"chromium", "chrome"}) {
        gchar* found = secret_password_lookup_sync(&schema, nullptr, nullptr, "application",
                                                   application, nullptr);
        if (found != nullptr) {
            std::string password = found;
            secret_password_free(found);
            return password;
        }
    }
#endif
    return {};
}

}  // namespace quivra
