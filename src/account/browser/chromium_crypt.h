// Chromium's encrypted cookie values on Linux: "v10" or "v11", then AES-128-CBC with a key
// made by PBKDF2-HMAC-SHA1 of a password (salt "saltysalt", one round, IV of 16 blanks).
// "v10" uses the fixed password "peanuts"; "v11" the one the desktop's secret service
// keeps for the browser, or "peanuts" where none does.
#pragma once

#include <optional>
#include <string>

namespace quivra {

// The 16-byte key of a password.
std::string chromiumKey(const std::string& password);

// The plain value, or nullopt when the bytes are not a value this key opens.
std::optional<std::string> decryptChromiumValue(const std::string& encrypted,
                                                const std::string& key);

// The browser's password from the secret service, or "" when there is none to ask.
std::string chromiumSecretPassword();

}  // namespace quivra
