#include "base/settings_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

constexpr const char* kFolder = "/opt/quivra/download";

// Every row's value in the three records config.ini fills, as the file would hold it.
std::string loadedText(const std::string& file, const SettingRow& row) {
    if (fillsRecord<UserRecord>(row)) return settingText(row, loadUserRecord(file));
    if (fillsRecord<SiteAddresses>(row)) return settingText(row, loadSiteAddresses(file));
    return settingText(row, loadDownloadSettings(file, kFolder));
}

// A value the row keeps as written, other than its default.
std::string sampleText(const SettingRow& row) {
    switch (row.type) {
        case SettingType::Flag:
            return std::string(row.byDefault) == "1" ? "0" : "1";
        case SettingType::Integer:
        case SettingType::Kilobytes:
            return std::to_string(std::clamp(7 + static_cast<int>(row.id), row.least, row.most));
        case SettingType::ProxyMode:
            return "system";
        case SettingType::SiteAddress:
            return std::string("http://127.0.0.1:") +
                   std::to_string(9000 + static_cast<int>(row.id));
        case SettingType::Lines:
            return std::string("\xD6\xD0\\n/a\\\\b/\\n") + row.key;
        default:
            return std::string("\xD6\xD0 ") + row.key;  // local text, distinct for each row
    }
}

// Texts that are not what the row holds, and what each reads as.
std::vector<std::pair<std::string, std::string>> unusableTexts(const SettingRow& row) {
    switch (row.type) {
        case SettingType::Flag:
            return {{"yes", "0"}, {"01", "0"}, {"", "0"}};
        case SettingType::Integer:
        case SettingType::Kilobytes:
            return {{"99999999999", std::to_string(row.most)},
                    {"-99999999999", std::to_string(row.least)},
                    {"x", std::to_string(std::clamp(0, row.least, row.most))},
                    {" 2x", std::to_string(std::clamp(2, row.least, row.most))}};
        case SettingType::ProxyMode:
            return {{"socks", "none"}, {"", "none"}, {"SYSTEM", "none"}};
        case SettingType::SiteAddress:
            return {{"", row.byDefault}, {"http://h:1/", "http://h:1"}};
        default:
            return {};
    }
}

class SettingsTableTest : public ::testing::Test {
  protected:
    test::TempFolder folder;
    std::string config = folder.file("config.ini");
};

TEST_F(SettingsTableTest, EveryRowReadsItsDefaultItsWrittenValueAndUnusableTextsAsItSays) {
    std::set<std::pair<std::string, std::string>> names;
    for (const SettingRow& row : settingRows()) {
        SCOPED_TRACE(row.key);
        const std::string section = settingSection(row);
        EXPECT_TRUE(names.insert({section, row.key}).second) << "a key named twice";
        std::filesystem::remove(config);
        EXPECT_EQ(loadedText(config, row),
                  row.type == SettingType::Folder ? kFolder : row.byDefault);
    }
    // All values at once, so that two rows filling one field would show.
    for (const SettingRow& row : settingRows()) {
        ASSERT_TRUE(writeConfigItem(config, settingSection(row), row.key, sampleText(row)));
    }
    for (const SettingRow& row : settingRows()) {
        EXPECT_EQ(loadedText(config, row), sampleText(row)) << row.key;
    }
    for (const SettingRow& row : settingRows()) {
        for (const auto& [text, reading] : unusableTexts(row)) {
            ASSERT_TRUE(writeConfigItem(config, settingSection(row), row.key, text));
            EXPECT_EQ(loadedText(config, row), reading) << row.key << "=" << text;
        }
    }
}

// Lines survive config.ini's one line a key, and a hand-written pattern keeps its backslash.
TEST_F(SettingsTableTest, LinesKeepTheirBreaksAndBackslashes) {
    const SettingRow& row = settingRow(SettingKey::DanmakuBlocklist);
    DownloadSettings settings = defaultDownloadSettings(kFolder);
    settings.danmakuBlocklist = "word\n/a\\nb\\\\/\r\nlast";
    ASSERT_TRUE(writeConfigItem(config, settingSection(row), row.key, settingText(row, settings)));
    EXPECT_EQ(loadDownloadSettings(config, kFolder).danmakuBlocklist, "word\n/a\\nb\\\\/\nlast");
    ASSERT_TRUE(writeConfigItem(config, settingSection(row), row.key, "/\\d+/\\nx"));
    EXPECT_EQ(loadDownloadSettings(config, kFolder).danmakuBlocklist, "/\\d+/\nx");
}

// Overrides and kept changes go through applySettingChanges: a number is held within its
// row's bounds, a value of another type is refused, and the effects name what changed.
TEST(SettingChanges, HoldBoundsRefuseOtherTypesAndNameTheirEffects) {
    DownloadSettings settings = defaultDownloadSettings("/d");
    const SettingChange changes[] = {
        {SettingKey::Retries, 99},
        {SettingKey::SpeedLimit, std::int64_t{300000}},
        {SettingKey::WriteTags, std::string("0")},  // not a flag: refused
        {SettingKey::ThreadNumber, -4},
    };
    const SettingEffects effects = applySettingChanges(settings, changes);
    EXPECT_EQ(settings.retries, settingRow(SettingKey::Retries).most);
    EXPECT_EQ(settings.speedLimit, 300000);  // bytes per second, not cut to kilobytes
    EXPECT_TRUE(settings.writeTags);
    EXPECT_EQ(settings.threadNumber, -4);
    EXPECT_TRUE(effects.has(SettingEffect::ListRetries));
    EXPECT_TRUE(effects.has(SettingEffect::EngineSpeedLimit));
    EXPECT_FALSE(effects.has(SettingEffect::EngineProxy));
    EXPECT_EQ(settings.directory, "/d");
}

}  // namespace
}  // namespace quivra
