#include "base/settings_table.h"

#include <algorithm>
#include <optional>
#include <type_traits>
#include <utility>

#include "base/config_file.h"

namespace quivra {
namespace {
namespace table {

using K = SettingKey;
using T = SettingType;
using E = SettingEffect;

// clang-format off
constexpr SettingRow kRows[] = {
    {K::Mid, "mid", T::Text, "", +[](UserRecord& r) -> SettingField { return &r.mid; }},
    {K::UserName, "name", T::Text, "", +[](UserRecord& r) -> SettingField { return &r.name; }},
    {K::HeadImg, "headImg", T::Text, "", +[](UserRecord& r) -> SettingField { return &r.headImg; }},
    {K::CoinNumber, "coinNumber", T::Text, "",
     +[](UserRecord& r) -> SettingField { return &r.coinNumber; }},
    {K::Moral, "moral", T::Text, "", +[](UserRecord& r) -> SettingField { return &r.moral; }},
    {K::EmailVerify, "emailVerify", T::Flag, "0",
     +[](UserRecord& r) -> SettingField { return &r.emailVerify; }},
    {K::MobileVerify, "mobileVerify", T::Flag, "0",
     +[](UserRecord& r) -> SettingField { return &r.mobileVerify; }},
    {K::Cookie, "cookie", T::Text, "", +[](UserRecord& r) -> SettingField { return &r.cookie; }},
    {K::CurrentLevel, "level.currentLevel", T::Text, "",
     +[](UserRecord& r) -> SettingField { return &r.level.currentLevel; }},
    {K::CurrentExp, "level.currentExp", T::Text, "",
     +[](UserRecord& r) -> SettingField { return &r.level.currentExp; }},
    {K::NextExp, "level.nextExp", T::Text, "",
     +[](UserRecord& r) -> SettingField { return &r.level.nextExp; }},
    {K::VipStatus, "vip.status", T::Flag, "0",
     +[](UserRecord& r) -> SettingField { return &r.vip.status; }},
    {K::VipDueDate, "vip.dueDate", T::Text, "",
     +[](UserRecord& r) -> SettingField { return &r.vip.dueDate; }},

    {K::Directory, "directory", T::Folder, "",
     +[](DownloadSettings& s) -> SettingField { return &s.directory; }},
    {K::ThreadNumber, "threadNumber", T::Integer, "3",
     +[](DownloadSettings& s) -> SettingField { return &s.threadNumber; }},
    {K::ResumeOnStart, "resumeOnStart", T::Flag, "1",
     +[](DownloadSettings& s) -> SettingField { return &s.resumeOnStart; }},
    {K::WriteTags, "writeTags", T::Flag, "1",
     +[](DownloadSettings& s) -> SettingField { return &s.writeTags; }},
    {K::SaveCover, "saveCover", T::Flag, "1",
     +[](DownloadSettings& s) -> SettingField { return &s.saveCover; }},
    {K::MinimizeToTray, "minimizeToTray", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.minimizeToTray; }},
    {K::NotifyOnFinish, "notifyOnFinish", T::Flag, "1",
     +[](DownloadSettings& s) -> SettingField { return &s.notifyOnFinish; }},
    {K::WatchClipboard, "watchClipboard", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.watchClipboard; }},
    {K::Retries, "retries", T::Integer, "5",
     +[](DownloadSettings& s) -> SettingField { return &s.retries; }, E::ListRetries, 0, 20},
    {K::SpeedLimit, "speedLimit", T::Kilobytes, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.speedLimit; }, E::EngineSpeedLimit, 0},
    {K::SpeedLimitOn, "speedLimitOn", T::Flag, "1",
     +[](DownloadSettings& s) -> SettingField { return &s.speedLimitOn; }, E::EngineSpeedLimit},
    {K::ProxyMode, "proxyMode", T::ProxyMode, "none",
     +[](DownloadSettings& s) -> SettingField { return &s.proxy.mode; }, E::EngineProxy},
    {K::ProxyAddress, "proxyAddress", T::Text, "",
     +[](DownloadSettings& s) -> SettingField { return &s.proxy.address; }, E::EngineProxy},
    {K::ProxyUser, "proxyUser", T::Text, "",
     +[](DownloadSettings& s) -> SettingField { return &s.proxy.user; }, E::EngineProxy},
    {K::ProxyPassword, "proxyPassword", T::Text, "",
     +[](DownloadSettings& s) -> SettingField { return &s.proxy.password; }, E::EngineProxy},
    {K::DefaultVideoQuality, "defaultVideoQuality", T::Text, "",
     +[](DownloadSettings& s) -> SettingField { return &s.defaultVideoQuality; }},
    {K::DefaultAudioQuality, "defaultAudioQuality", T::Text, "",
     +[](DownloadSettings& s) -> SettingField { return &s.defaultAudioQuality; }},
    {K::VideoCodecs, "videoCodecs", T::Text, "avc,hevc,av1",
     +[](DownloadSettings& s) -> SettingField { return &s.videoCodecs; }},
    {K::DownloadContent, "downloadContent", T::Text, "av",
     +[](DownloadSettings& s) -> SettingField { return &s.downloadContent; }},
    {K::Container, "container", T::Text, "mp4",
     +[](DownloadSettings& s) -> SettingField { return &s.container; }},
    {K::FileNameTemplate, "fileNameTemplate", T::Text, "{videoTitle}/{pageNumberWithZero}_{pageTitle}",
     +[](DownloadSettings& s) -> SettingField { return &s.fileNameTemplate; }},
    {K::KeepTitleCharacters, "keepTitleCharacters", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.keepTitleCharacters; }},
    {K::UltraFormats, "ultraFormats", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.ultraFormats; }},
    {K::ListWindowGeometry, "listWindowGeometry", T::Text, "",
     +[](DownloadSettings& s) -> SettingField { return &s.listWindowGeometry; }},
    {K::Subtitles, "subtitles", T::Flag, "1",
     +[](DownloadSettings& s) -> SettingField { return &s.subtitles; }},
    {K::SubtitleLanguages, "subtitleLanguages", T::Text, "all",
     +[](DownloadSettings& s) -> SettingField { return &s.subtitleLanguages; }},
    {K::AiSubtitles, "aiSubtitles", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.aiSubtitles; }},
    {K::LibraryInfo, "libraryInfo", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.libraryInfo; }},
    {K::Danmaku, "danmaku", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.danmaku; }},
    {K::DanmakuFont, "danmakuFont", T::Text, "sans-serif",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuFont; }},
    {K::DanmakuFontSize, "danmakuFontSize", T::Integer, "50",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuFontSize; }, E::None, 10, 200},
    {K::DanmakuOpacity, "danmakuOpacity", T::Integer, "80",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuOpacity; }, E::None, 10, 100},
    {K::DanmakuScrollSeconds, "danmakuScrollSeconds", T::Integer, "8",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuScrollSeconds; }, E::None, 2, 30},
    {K::DanmakuArea, "danmakuArea", T::Integer, "100",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuArea; }, E::None, 25, 100},
    {K::DanmakuHideTop, "danmakuHideTop", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuHideTop; }},
    {K::DanmakuHideBottom, "danmakuHideBottom", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuHideBottom; }},
    {K::DanmakuHideScrolling, "danmakuHideScrolling", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuHideScrolling; }},
    {K::DanmakuHideColored, "danmakuHideColored", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuHideColored; }},
    {K::DanmakuBlocklist, "danmakuBlocklist", T::Lines, "",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuBlocklist; }},
    {K::DanmakuTrack, "danmakuTrack", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.danmakuTrack; }},
    {K::DownloadWindowOn, "downloadWindowOn", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.downloadWindowOn; }, E::ListWindow},
    {K::DownloadWindow, "downloadWindow", T::Text, "01:00-07:00",
     +[](DownloadSettings& s) -> SettingField { return &s.downloadWindow; }, E::ListWindow},
    {K::SpeedLimitWindowOn, "speedLimitWindowOn", T::Flag, "0",
     +[](DownloadSettings& s) -> SettingField { return &s.speedLimitWindowOn; }, E::EngineSpeedLimit},
    {K::SpeedLimitWindow, "speedLimitWindow", T::Text, "08:00-23:00",
     +[](DownloadSettings& s) -> SettingField { return &s.speedLimitWindow; }, E::EngineSpeedLimit},

    {K::SiteApi, "api", T::SiteAddress, "https://api.quivra.com",
     +[](SiteAddresses& a) -> SettingField { return &a.api; }},
    {K::SiteLogin, "login", T::SiteAddress, "https://login.quivra.com",
     +[](SiteAddresses& a) -> SettingField { return &a.login; }},
    {K::SiteMain, "main", T::SiteAddress, "https://www.quivra.com",
     +[](SiteAddresses& a) -> SettingField { return &a.main; }},
    {K::SiteSpace, "space", T::SiteAddress, "https://space.quivra.com",
     +[](SiteAddresses& a) -> SettingField { return &a.space; }},
};
// clang-format on

}  // namespace table

using table::kRows;

constexpr bool rowsInKeyOrder() {
    for (size_t i = 0; i < std::size(kRows); ++i) {
        if (static_cast<size_t>(kRows[i].id) != i) return false;
    }
    return true;
}
static_assert(rowsInKeyOrder(), "settingRow finds a row by its place");

constexpr std::int64_t kBytesPerKilobyte = 1024;

const std::pair<ProxyMode, const char*> kProxyModeNames[] = {
    {ProxyMode::None, "none"}, {ProxyMode::System, "system"}, {ProxyMode::Address, "address"}};

// config.ini holds one line a key: a line break is written "\\n" and a backslash "\\\\".
// Any other backslash reads as itself, so that a hand-written "/\\d+/" stays a pattern.
std::string escapedLines(const std::string& lines) {
    std::string text;
    for (char c : lines) {
        if (c == '\\') {
            text += "\\\\";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c != '\r') {
            text += c;
        }
    }
    return text;
}

std::string unescapedLines(const std::string& text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == 'n' || next == '\\')) {
            lines += next == 'n' ? '\n' : '\\';
            ++i;
        } else {
            lines += text[i];
        }
    }
    return lines;
}

// The row's field in record; null when the row fills another record.
template <class Record>
std::optional<SettingField> fieldIn(const SettingRow& row, Record& record) {
    if (!fillsRecord<Record>(row)) return std::nullopt;
    return std::get<SettingFieldOf<Record>>(row.field)(record);
}

template <class Record>
std::string textOf(const SettingRow& row, const Record& record) {
    // The field is only read.
    const std::optional<SettingField> field = fieldIn(row, const_cast<Record&>(record));
    if (!field) return {};
    return std::visit(
        [&](auto* value) -> std::string {
            using V = std::remove_pointer_t<decltype(value)>;
            if constexpr (std::is_same_v<V, std::string>) {
                return row.type == SettingType::Lines ? escapedLines(*value) : *value;
            } else if constexpr (std::is_same_v<V, bool>) {
                return *value ? "1" : "0";
            } else if constexpr (std::is_same_v<V, ProxyMode>) {
                for (const auto& [mode, name] : kProxyModeNames) {
                    if (mode == *value) return name;
                }
                return "none";
            } else if (row.type == SettingType::Kilobytes) {
                return std::to_string(*value / kBytesPerKilobyte);
            } else {
                return std::to_string(*value);
            }
        },
        *field);
}

template <class Record>
void readText(const SettingRow& row, const std::string& text, Record& record) {
    const std::optional<SettingField> field = fieldIn(row, record);
    if (!field) return;
    std::visit(
        [&](auto* value) {
            using V = std::remove_pointer_t<decltype(value)>;
            if constexpr (std::is_same_v<V, std::string>) {
                std::string kept = row.type == SettingType::Lines ? unescapedLines(text) : text;
                if (row.type == SettingType::SiteAddress) {
                    if (kept.ends_with('/')) kept.pop_back();
                    if (kept.empty()) return;
                }
                *value = std::move(kept);
            } else if constexpr (std::is_same_v<V, bool>) {
                *value = text == "1";
            } else if constexpr (std::is_same_v<V, ProxyMode>) {
                // A proxy is used only where one was clearly chosen.
                *value = ProxyMode::None;
                for (const auto& [mode, name] : kProxyModeNames) {
                    if (text == name) *value = mode;
                }
            } else {
                std::int64_t number = std::clamp(textToInteger(text), row.least, row.most);
                if (row.type == SettingType::Kilobytes) number *= kBytesPerKilobyte;
                *value = static_cast<V>(number);
            }
        },
        *field);
}

template <class Record>
Record defaultRecord(const std::string& folder) {
    Record record{};
    for (const SettingRow& row : kRows) {
        readText(row, row.type == SettingType::Folder ? folder : row.byDefault, record);
    }
    return record;
}

// Puts value into field when their types agree; a number is held within the row's bounds.
bool assignValue(const SettingRow& row, const SettingField& field, const SettingValue& value) {
    return std::visit(
        [&](auto* target, const auto& given) {
            using V = std::remove_pointer_t<decltype(target)>;
            using G = std::decay_t<decltype(given)>;
            constexpr bool numbers = std::is_integral_v<V> && !std::is_same_v<V, bool> &&
                                     std::is_integral_v<G> && !std::is_same_v<G, bool>;
            if constexpr (numbers) {
                const std::int64_t scale =
                    row.type == SettingType::Kilobytes ? kBytesPerKilobyte : 1;
                *target = static_cast<V>(
                    std::clamp<std::int64_t>(given, row.least * scale, row.most * scale));
                return true;
            } else if constexpr (std::is_same_v<V, G>) {
                *target = given;
                return true;
            } else {
                return false;
            }
        },
        field, value);
}

}  // namespace

std::span<const SettingRow> settingRows() {
    return kRows;
}

const SettingRow& settingRow(SettingKey key) {
    return kRows[static_cast<size_t>(key)];
}

const char* settingSection(const SettingRow& row) {
    static const char* const kSections[] = {"user", "download", "site"};
    return kSections[row.field.index()];
}

std::string settingText(const SettingRow& row, const UserRecord& record) {
    return textOf(row, record);
}
std::string settingText(const SettingRow& row, const DownloadSettings& record) {
    return textOf(row, record);
}
std::string settingText(const SettingRow& row, const SiteAddresses& record) {
    return textOf(row, record);
}

void readSettingText(const SettingRow& row, const std::string& text, UserRecord& record) {
    readText(row, text, record);
}
void readSettingText(const SettingRow& row, const std::string& text, DownloadSettings& record) {
    readText(row, text, record);
}
void readSettingText(const SettingRow& row, const std::string& text, SiteAddresses& record) {
    readText(row, text, record);
}

UserRecord defaultUserRecord() {
    return defaultRecord<UserRecord>({});
}

DownloadSettings defaultDownloadSettings(const std::string& folder) {
    return defaultRecord<DownloadSettings>(folder);
}

SiteAddresses defaultSiteAddresses() {
    return defaultRecord<SiteAddresses>({});
}

SettingEffects applySettingChanges(DownloadSettings& settings,
                                   std::span<const SettingChange> changes) {
    SettingEffects effects;
    for (const SettingChange& change : changes) {
        const SettingRow& row = settingRow(change.key);
        const std::optional<SettingField> field = fieldIn(row, settings);
        if (field && assignValue(row, *field, change.value)) effects.add(row.effect);
    }
    return effects;
}

}  // namespace quivra
