#include "base/config_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <functional>
#include <span>
#include <vector>

#include "base/file_lock.h"
#include "base/private_file.h"
#include "base/profile_line.h"
#include "base/settings_table.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

// Bytes of a line kept for reading: far more than a name and the longest value.
constexpr size_t kMaxKeptLineBytes = 1 << 20;

// Calls visit for each line of the file (without its '\n') until it returns false.
// Lines longer than kMaxKeptLineBytes are cut, so no file can exhaust memory.
// False when the file cannot be opened.
bool forEachLine(const std::string& path, const std::function<bool(std::string_view)>& visit) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<char> buffer(1 << 16);
    std::string line;
    bool more = true;
    size_t n = 0;
    while (more && (n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (size_t i = 0; i < n && more; ++i) {
            if (buffer[i] == '\n') {
                more = visit(line);
                line.clear();
            } else if (line.size() < kMaxKeptLineBytes) {
                line.push_back(buffer[i]);
            }
        }
    }
    if (more && !line.empty()) visit(line);
    std::fclose(file);
    return true;
}

// At most kMaxConfigValueBytes, never ending in half a GBK character.
std::string limitValue(const std::string& value) {
    if (value.size() <= kMaxConfigValueBytes) return value;
    size_t end = 0;
    while (end < kMaxConfigValueBytes) {
        const auto byte = static_cast<unsigned char>(value[end]);
        size_t length = byte >= 0x81 ? 2 : 1;
        if (end + length > kMaxConfigValueBytes) break;
        end += length;
    }
    return value.substr(0, end);
}

struct Line {
    std::string text;        // without its line break
    std::string terminator;  // "\n", "\r\n" or "" for a last line without one
};

// Reads the whole file as lines. A missing file gives no lines; false when the file
// exists but cannot be read (it must then not be replaced).
bool readLines(const std::string& path, std::vector<Line>& lines) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return errno == ENOENT;
    std::string content;
    std::vector<char> buffer(1 << 16);
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
        content.append(buffer.data(), n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    if (!ok) return false;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back({content.substr(start), ""});
            break;
        }
        size_t textEnd = end > start && content[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(
            {content.substr(start, textEnd - start), content.substr(textEnd, end + 1 - textEnd)});
        start = end + 1;
    }
    return true;
}

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// A value on one line: a line break in it would start new lines (and keys) in the file.
std::string oneLineValue(const std::string& value) {
    std::string line = value.substr(0, value.find('\0'));
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

bool isBlankLine(const std::string& text) {
    return text.find_first_not_of(" \t\r\v\f") == std::string::npos;
}

// Names that the file could hold as one section line and one key.
bool isWritableSection(const std::string& name) {
    return !hasLineBreak(name) && name.find(']') == std::string::npos;
}

bool isWritableKey(const std::string& name) {
    return !name.empty() && !hasLineBreak(name) && name.find('=') == std::string::npos &&
           name.front() != '[';
}

// Sets one item in the lines as the profile API does: the first key of that name in the
// first section of that name is replaced; a new key goes after the section's last
// non-blank line; a new section goes at the end.
void setItem(std::vector<Line>& lines, const std::string& section, const std::string& key,
             const std::string& value) {
    const std::string newline =
        !lines.empty() && lines.front().terminator == "\r\n" ? "\r\n" : "\n";
    const std::string item = key + "=" + oneLineValue(value);
    std::optional<size_t> sectionLine;
    size_t lastOfSection = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        ProfileLine line = readProfileLine(lines[i].text);
        if (line.kind == ProfileLine::Kind::Section) {
            if (sectionLine) break;
            if (sameProfileName(line.name, section)) sectionLine = lastOfSection = i;
        } else if (sectionLine) {
            if (line.kind == ProfileLine::Kind::Item && sameProfileName(line.name, key)) {
                lines[i].text = item;
                return;
            }
            if (!isBlankLine(lines[i].text)) lastOfSection = i;
        }
    }
    if (sectionLine) {
        if (lines[lastOfSection].terminator.empty()) lines[lastOfSection].terminator = newline;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastOfSection) + 1,
                     {item, newline});
        return;
    }
    if (!lines.empty() && lines.back().terminator.empty()) lines.back().terminator = newline;
    lines.push_back({"[" + section + "]", newline});
    lines.push_back({item, newline});
}

}  // namespace

std::optional<std::string> findConfigItem(const std::string& file, const std::string& section,
                                          const std::string& key) {
    const std::string path = profileNameArgument(file);
    const std::string wantedSection = profileNameArgument(section);
    const std::string wantedKey = profileNameArgument(key);
    std::optional<std::string> found;
    bool inSection = false;
    forEachLine(path, [&](std::string_view text) {
        ProfileLine line = readProfileLine(text);
        if (line.kind == ProfileLine::Kind::Section) {
            if (inSection) return false;  // only the first section of that name counts
            inSection = sameProfileName(line.name, wantedSection);
        } else if (line.kind == ProfileLine::Kind::Item && inSection &&
                   sameProfileName(line.name, wantedKey)) {
            found = limitValue(line.value);
            return false;
        }
        return true;
    });
    return found;
}

std::string readConfigItem(const std::string& file, const std::string& section,
                           const std::string& key, const std::optional<std::string>& defaultValue) {
    std::optional<std::string> value = findConfigItem(file, section, key);
    if (value) return *value;
    return defaultValue.value_or(std::string());
}

bool writeConfigItem(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) {
    return writeConfigItems(file, section, {{key, value}});
}

bool writeConfigItems(const std::string& file, const std::string& section,
                      const std::vector<std::pair<std::string, std::string>>& items) {
    const std::string path = profileNameArgument(file);
    const std::string sectionName = profileNameArgument(section);
    if (path.empty() || !isWritableSection(sectionName)) return false;
    for (const auto& [key, value] : items) {
        if (!isWritableKey(profileNameArgument(key))) return false;
    }

    // Every write is a read-modify-write cycle: one at a time across all threads and all
    // running instances, so none is lost.
    const FileLock lock(path + ".lock");
    if (!lock.held()) return false;
    std::vector<Line> lines;
    if (!readLines(path, lines)) return false;
    for (const auto& [key, value] : items)
        setItem(lines, sectionName, profileNameArgument(key), value);
    std::string content;
    for (const Line& line : lines) content += line.text + line.terminator;
    return replaceFilePrivately(path, content);
}

int textToInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

namespace {

// The record with each of its rows' keys that the file holds read in.
template <class Record>
Record loadRecord(const std::string& file, Record record) {
    for (const SettingRow& row : settingRows()) {
        if (!fillsRecord<Record>(row)) continue;
        if (const std::optional<std::string> text =
                findConfigItem(file, settingSection(row), row.key)) {
            readSettingText(row, *text, record);
        }
    }
    return record;
}

template <class Record>
bool writeRecordSettings(const std::string& file, std::span<const SettingKey> keys,
                         const Record& record) {
    if (keys.empty()) return true;
    const char* section = settingSection(settingRow(keys.front()));
    std::vector<std::pair<std::string, std::string>> items;
    for (SettingKey key : keys) {
        const SettingRow& row = settingRow(key);
        if (!fillsRecord<Record>(row)) return false;
        items.emplace_back(row.key, settingText(row, record));
    }
    return writeConfigItems(file, section, items);
}

}  // namespace

UserRecord loadUserRecord(const std::string& file) {
    return loadRecord(file, defaultUserRecord());
}

DownloadSettings loadDownloadSettings(const std::string& file, const std::string& defaultFolder) {
    return loadRecord(file, defaultDownloadSettings(utf8ToLocalText(defaultFolder)));
}

SiteAddresses loadSiteAddresses(const std::string& file) {
    return loadRecord(file, defaultSiteAddresses());
}

bool writeSettings(const std::string& file, std::span<const SettingKey> keys,
                   const UserRecord& record) {
    return writeRecordSettings(file, keys, record);
}

bool writeSettings(const std::string& file, std::span<const SettingKey> keys,
                   const DownloadSettings& record) {
    return writeRecordSettings(file, keys, record);
}

}  // namespace quivra
