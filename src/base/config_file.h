// Reading and writing config.ini with profile-file semantics.
// File paths are UTF-8; sections, keys and values are local text (GBK bytes).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/records.h"
#include "base/settings_table.h"

namespace quivra {

// The longest value that reads back whole.
inline constexpr size_t kMaxConfigValueBytes = 10239;

// The value of section/key, or nullopt when the file, the section or the key is absent.
// A key present with an empty value gives "". Names match without regard to case;
// leading bytes 1..32 of the section and key names are skipped; at most 10,239 bytes.
std::optional<std::string> findConfigItem(const std::string& file, const std::string& section,
                                          const std::string& key);

// As above, but an absent key gives the default, or "" when none is given.
std::string readConfigItem(const std::string& file, const std::string& section,
                           const std::string& key,
                           const std::optional<std::string>& defaultValue = std::nullopt);

// Writes one item, creating the file and the section when missing. The file is replaced
// atomically (temporary file + rename) and kept at mode 0600. Every other line is kept.
// Writers of all processes take turns on the lock file path + ".lock" beside it.
bool writeConfigItem(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value);

// Writes several items of one section, in order, with one replacement of the file:
// a reader sees all of them or none. False (and nothing written) when a name is unusable.
bool writeConfigItems(const std::string& file, const std::string& section,
                      const std::vector<std::pair<std::string, std::string>>& items);

// Leading white space skipped, optional sign, decimal digits up to the first other
// character; no digits give 0. Saturates instead of overflowing.
int textToInteger(const std::string& text);

// Each record as the table's rows read it from the file: a missing key reads as its row's
// default. defaultFolder (UTF-8) is the directory used while the file names none.
UserRecord loadUserRecord(const std::string& file);
DownloadSettings loadDownloadSettings(const std::string& file, const std::string& defaultFolder);
SiteAddresses loadSiteAddresses(const std::string& file);

// Writes the keys' rows of one section from record, in order, in one replacement of the
// file. False (and nothing written) when a key's row fills another record.
bool writeSettings(const std::string& file, std::span<const SettingKey> keys,
                   const UserRecord& record);
bool writeSettings(const std::string& file, std::span<const SettingKey> keys,
                   const DownloadSettings& record);

}  // namespace quivra
