// Every config.ini key of the program, one row each: its section and name, how its text
// reads and is written, the text a missing key reads as, the bounds of a number, the record
// field it fills and what a change of it does at once. Loading, saving, the records'
// defaults, the command line's one-run overrides and the settings controls all read it.
#pragma once

#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "base/records.h"

namespace quivra {

// One per row, in the table's order.
enum class SettingKey {
    // [user], in the order keepUserRecord writes them
    Mid,
    UserName,
    HeadImg,
    CoinNumber,
    Moral,
    EmailVerify,
    MobileVerify,
    Cookie,
    CurrentLevel,
    CurrentExp,
    NextExp,
    VipStatus,
    VipDueDate,
    // [download]
    Directory,
    ThreadNumber,
    ResumeOnStart,
    WriteTags,
    SaveCover,
    MinimizeToTray,
    NotifyOnFinish,
    WatchClipboard,
    Retries,
    SpeedLimit,
    SpeedLimitOn,
    ProxyMode,
    ProxyAddress,
    ProxyUser,
    ProxyPassword,
    DefaultVideoQuality,
    DefaultAudioQuality,
    VideoCodecs,
    DownloadContent,
    Container,
    FileNameTemplate,
    KeepTitleCharacters,
    UltraFormats,
    ListWindowGeometry,
    Subtitles,
    SubtitleLanguages,
    AiSubtitles,
    LibraryInfo,
    Danmaku,
    DanmakuFont,
    DanmakuFontSize,
    DanmakuOpacity,
    DanmakuScrollSeconds,
    DanmakuArea,
    DanmakuHideTop,
    DanmakuHideBottom,
    DanmakuHideScrolling,
    DanmakuHideColored,
    DanmakuBlocklist,
    DanmakuTrack,
    DownloadWindowOn,
    DownloadWindow,
    SpeedLimitWindowOn,
    SpeedLimitWindow,
    // [site]
    SiteApi,
    SiteLogin,
    SiteMain,
    SiteSpace,
};

enum class SettingType {
    Text,         // as it stands
    Folder,       // text; a missing key reads as the folder the loader is given
    Flag,         // true only for exactly "1"; written "1" or "0"
    Integer,      // textToInteger, then held within the row's bounds
    Kilobytes,    // an integer of KB/s within the bounds, held as bytes per second
    ProxyMode,    // "none", "system" or "address"; anything else reads as none
    SiteAddress,  // one trailing '/' dropped; an empty one names no server and reads as missing
    Lines,        // text of lines; config.ini holds a line break as "\\n" and a '\\' as "\\\\"
};

// What a change does at once beyond the record and config.ini. Base cannot reach the
// engine or the list: the download layer's followSettingChange applies these.
enum class SettingEffect : unsigned {
    None = 0,
    EngineSpeedLimit = 1u << 0,  // the limit in force reaches the running engine
    EngineProxy = 1u << 1,       // the proxy reaches the running engine
    ListRetries = 1u << 2,       // the download list's retry policy takes the number
    ListWindow = 1u << 3,        // the download list follows the download window
};

struct SettingEffects {
    unsigned bits = 0;
    void add(SettingEffect effect) { bits |= static_cast<unsigned>(effect); }
    bool has(SettingEffect effect) const { return (bits & static_cast<unsigned>(effect)) != 0; }
};

// The field a row fills, in the record given.
using SettingField = std::variant<std::string*, bool*, int*, std::int64_t*, ProxyMode*>;
template <class Record>
using SettingFieldOf = SettingField (*)(Record&);
// Which record a row fills names its section: [user], [download], [site].
using SettingRecordField =
    std::variant<SettingFieldOf<UserRecord>, SettingFieldOf<DownloadSettings>,
                 SettingFieldOf<SiteAddresses>>;

struct SettingRow {
    SettingKey id;
    const char* key;
    SettingType type;
    const char* byDefault;  // what a missing key reads as, as config.ini would hold it
    SettingRecordField field;
    SettingEffect effect = SettingEffect::None;
    int least = INT_MIN;  // bounds of an Integer or Kilobytes value
    int most = INT_MAX;
};

std::span<const SettingRow> settingRows();
const SettingRow& settingRow(SettingKey key);
const char* settingSection(const SettingRow& row);

template <class Record>
bool fillsRecord(const SettingRow& row) {
    return std::holds_alternative<SettingFieldOf<Record>>(row.field);
}

// The keys of the rows that fill Record, in the table's order.
template <class Record>
std::vector<SettingKey> settingKeysOf() {
    std::vector<SettingKey> keys;
    for (const SettingRow& row : settingRows()) {
        if (fillsRecord<Record>(row)) keys.push_back(row.id);
    }
    return keys;
}

// The row's value in record as config.ini holds it; "" when the row fills another record.
std::string settingText(const SettingRow& row, const UserRecord& record);
std::string settingText(const SettingRow& row, const DownloadSettings& record);
std::string settingText(const SettingRow& row, const SiteAddresses& record);

// Reads a present key's text into the record, as the row's type says.
void readSettingText(const SettingRow& row, const std::string& text, UserRecord& record);
void readSettingText(const SettingRow& row, const std::string& text, DownloadSettings& record);
void readSettingText(const SettingRow& row, const std::string& text, SiteAddresses& record);

// The records as a config.ini without the keys reads. folder (local text) is what a
// Folder row holds.
UserRecord defaultUserRecord();
DownloadSettings defaultDownloadSettings(const std::string& folder = {});
SiteAddresses defaultSiteAddresses();

// A value for one row, of its field's type (an int for a Kilobytes row's bytes is widened).
using SettingValue = std::variant<std::string, bool, int, std::int64_t, ProxyMode>;
struct SettingChange {
    SettingKey key;
    SettingValue value;
};

// Puts the values into settings (a one-run override, or a change about to be kept); the
// effects of the rows changed. An integer is held within its row's bounds.
SettingEffects applySettingChanges(DownloadSettings& settings,
                                   std::span<const SettingChange> changes);

}  // namespace quivra
