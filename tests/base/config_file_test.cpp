#include "base/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace quivra {
namespace {

using test::fileMode;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

// What a write leaves in the folder: the file and the lock file its writers share.
const std::vector<std::string> kConfigAndLock = {"config.ini", "config.ini.lock"};

class ConfigFileTest : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string config = folder.file("config.ini");

    void write(const std::string& content) { writeBytes(config, content); }
    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(ConfigFileTest, MissingFileMeansEveryKeyAbsent) {
    EXPECT_EQ(findConfigItem(config, "user", "mid"), std::nullopt);
    EXPECT_EQ(readConfigItem(config, "user", "mid"), "");
    EXPECT_EQ(readConfigItem(config, "download", "threadNumber", "3"), "3");

    UserRecord user = loadUserRecord(config);
    EXPECT_EQ(user.mid, "");
    EXPECT_EQ(user.cookie, "");
    EXPECT_FALSE(user.emailVerify || user.mobileVerify || user.vip.status);

    DownloadSettings settings = loadDownloadSettings(config, "/opt/quivra/download");
    EXPECT_EQ(settings.directory, "/opt/quivra/download");
    EXPECT_EQ(settings.threadNumber, 3);

    SiteAddresses site = loadSiteAddresses(config);
    EXPECT_EQ(site.api, "https://api.quivra.com");
    EXPECT_EQ(site.login, "https://login.quivra.com");
    EXPECT_EQ(site.main, "https://www.quivra.com");
    EXPECT_EQ(site.space, "https://space.quivra.com");
}

TEST_F(ConfigFileTest, EmptyValueIsPresentNotAbsent) {
    write("[download]\ndirectory=\nthreadNumber=   \n");
    EXPECT_EQ(findConfigItem(config, "download", "directory"), "");
    EXPECT_EQ(readConfigItem(config, "download", "directory", "fallback"), "");
    EXPECT_EQ(readConfigItem(config, "download", "missing", "fallback"), "fallback");
    DownloadSettings settings = loadDownloadSettings(config, "/opt/quivra");
    EXPECT_EQ(settings.directory, "");
    EXPECT_EQ(settings.threadNumber, 0);
}

TEST_F(ConfigFileTest, SpeedLimitAndProxyKeysReadSafely) {
    struct Case {
        const char* file;
        std::int64_t speedLimit;
        bool on;
        ProxyMode mode;
    };
    const Case cases[] = {
        {"", 0, true, ProxyMode::None},
        {"[download]\nspeedLimit=512\nspeedLimitOn=0\nproxyMode=system\n", 512 << 10, false,
         ProxyMode::System},
        // A negative limit is none; an unknown mode uses no proxy.
        {"[download]\nspeedLimit=-5\nproxyMode=socks\n", 0, true, ProxyMode::None},
        {"[download]\nspeedLimit=99999999999\nproxyMode=address\n", std::int64_t{INT_MAX} * 1024,
         true, ProxyMode::Address},
    };
    for (const Case& c : cases) {
        write(c.file);
        const DownloadSettings settings = loadDownloadSettings(config, "/p");
        EXPECT_EQ(settings.speedLimit, c.speedLimit) << c.file;
        EXPECT_EQ(settings.speedLimitOn, c.on) << c.file;
        EXPECT_EQ(settings.proxy.mode, c.mode) << c.file;
    }
}

TEST_F(ConfigFileTest, NamesMatchWithoutCaseAndSkipLeadingControlBytes) {
    write("  [ User ]  \r\n  MID =  12345  \r\nName\t=\tA b\t\r\n");
    EXPECT_EQ(readConfigItem(config, "user", "mid"), "12345");
    EXPECT_EQ(readConfigItem(config, "USER", "name"), "A b");
    EXPECT_EQ(readConfigItem(config, " \t\x01user", "\x1f\x20mid"), "12345");
    EXPECT_EQ(readConfigItem(" " + config, "user", "mid"), "12345");
    // Only leading bytes are skipped, and no other bytes compare equal.
    EXPECT_EQ(findConfigItem(config, "user", "mid "), std::nullopt);
    EXPECT_EQ(findConfigItem(config, "user", "mi"), std::nullopt);
    EXPECT_EQ(findConfigItem(config, "use", "mid"), std::nullopt);
}

TEST_F(ConfigFileTest, GbkNamesAndValuesCompareByteForByte) {
    // "\xB0\x41" and "\xB0\x61" are two different GBK characters whose trail bytes look
    // like 'A' and 'a': they must not match as if they differed only in case.
    write("[\xB0\x41]\nkey=upper\n[\xB0\x61]\nkey=lower\n[user]\nname=\xD6\xD0\xCE\xC4 \xB0\x61\n");
    EXPECT_EQ(readConfigItem(config, "\xB0\x61", "key"), "lower");
    EXPECT_EQ(readConfigItem(config, "\xB0\x41", "key"), "upper");
    EXPECT_EQ(readConfigItem(config, "user", "name"), "\xD6\xD0\xCE\xC4 \xB0\x61");
}

TEST_F(ConfigFileTest, FirstDuplicateSectionAndKeyWin) {
    write("[user]\nmid=1\nmid=2\n[download]\ndirectory=/a\n[user]\nmid=3\nname=late\n");
    EXPECT_EQ(readConfigItem(config, "user", "mid"), "1");
    EXPECT_EQ(findConfigItem(config, "user", "name"), std::nullopt);
    EXPECT_EQ(readConfigItem(config, "download", "directory"), "/a");
}

TEST_F(ConfigFileTest, LinesWithoutEqualsAndKeysOutsideSectionsAreIgnored) {
    write("mid=0\n[user]\njust words\n; note\nmid\n=orphan\nmid=7\n[empty]\n");
    EXPECT_EQ(readConfigItem(config, "user", "mid"), "7");
    EXPECT_EQ(readConfigItem(config, "user", ""), "orphan");
    EXPECT_EQ(findConfigItem(config, "empty", "mid"), std::nullopt);
}

TEST_F(ConfigFileTest, ValuesStopAt10239BytesAndAtAZeroByte) {
    write("[user]\ncookie=" + std::string(20000, 'x') + "\nname=ab" + std::string("\0cd", 3) +
          "\n");
    EXPECT_EQ(readConfigItem(config, "user", "cookie"), std::string(10239, 'x'));
    EXPECT_EQ(readConfigItem(config, "user", "name"), "ab");
    // A double-byte character that would straddle the limit is left out whole.
    write("[user]\ncookie=" + std::string(10238, 'x') + "\xD6\xD0yz\n");
    EXPECT_EQ(readConfigItem(config, "user", "cookie"), std::string(10238, 'x'));
}

TEST_F(ConfigFileTest, BinaryAndHugeFilesReadWithoutHarm) {
    std::mt19937 random(7);
    std::string noise;
    for (int i = 0; i < 200000; ++i) noise.push_back(static_cast<char>(random()));
    write(noise);
    EXPECT_EQ(readConfigItem(config, "download", "threadNumber", "3"), "3");
    EXPECT_EQ(loadDownloadSettings(config, "/p").threadNumber, 3);

    // One line of 8 MB without a break, then real items.
    write("[user]\nmid=5\njunk=" + std::string(8 << 20, 'j') + "\nname=after\n");
    EXPECT_EQ(readConfigItem(config, "user", "mid"), "5");
    EXPECT_EQ(readConfigItem(config, "user", "name"), "after");
    EXPECT_EQ(readConfigItem(config, "user", "junk").size(), 10239u);

    // A folder where the file should be.
    std::filesystem::create_directory(folder.file("dir.ini"));
    EXPECT_EQ(findConfigItem(folder.file("dir.ini"), "user", "mid"), std::nullopt);
    EXPECT_FALSE(writeConfigItem(folder.file("dir.ini"), "user", "mid", "1"));
}

TEST_F(ConfigFileTest, WriteCreatesFileAndSectionPrivately) {
    ASSERT_TRUE(writeConfigItem(config, "download", "threadNumber", "8"));
    EXPECT_EQ(readBytes(config), "[download]\nthreadNumber=8\n");
    EXPECT_EQ(fileMode(config), 0600u);
    ASSERT_TRUE(writeConfigItem(config, "user", "name", "\xD6\xD0\xCE\xC4"));
    ASSERT_TRUE(writeConfigItem(config, "download", "directory", "/d"));
    EXPECT_EQ(readBytes(config),
              "[download]\nthreadNumber=8\ndirectory=/d\n[user]\nname=\xD6\xD0\xCE\xC4\n");
    EXPECT_EQ(folderEntries(), kConfigAndLock);
}

TEST_F(ConfigFileTest, WriteKeepsEveryOtherLineByteForByte) {
    const std::string before =
        "; settings\r\n[User]\r\n  MID = 1 \r\nname=old\r\n\r\n[download]\r\n"
        "directory=/x\r\nweird line\r\n\r\n";
    write(before);
    ASSERT_TRUE(writeConfigItem(config, "user", "mid", "2"));
    std::string expected =
        "; settings\r\n[User]\r\nmid=2\r\nname=old\r\n\r\n[download]\r\n"
        "directory=/x\r\nweird line\r\n\r\n";
    EXPECT_EQ(readBytes(config), expected);

    // A new key goes after the section's last line, before the blank line.
    ASSERT_TRUE(writeConfigItem(config, "user", "cookie", "a=1; b=2"));
    expected =
        "; settings\r\n[User]\r\nmid=2\r\nname=old\r\ncookie=a=1; b=2\r\n\r\n[download]\r\n"
        "directory=/x\r\nweird line\r\n\r\n";
    EXPECT_EQ(readBytes(config), expected);
    EXPECT_EQ(readConfigItem(config, "user", "cookie"), "a=1; b=2");
}

TEST_F(ConfigFileTest, WriteToFileWithoutFinalLineBreak) {
    write("[user]\nmid=1");
    ASSERT_TRUE(writeConfigItem(config, "user", "name", "n"));
    EXPECT_EQ(readBytes(config), "[user]\nmid=1\nname=n\n");
    write("[user]\nmid=1");
    ASSERT_TRUE(writeConfigItem(config, "download", "threadNumber", "2"));
    EXPECT_EQ(readBytes(config), "[user]\nmid=1\n[download]\nthreadNumber=2\n");
}

TEST_F(ConfigFileTest, WriteIntoBinaryFileKeepsItsBytes) {
    std::string noise;
    std::mt19937 random(11);
    for (int i = 0; i < 5000; ++i) noise.push_back(static_cast<char>(random() % 256));
    noise += "\n";
    write(noise);
    ASSERT_TRUE(writeConfigItem(config, "zz-new", "k", "v"));
    const std::string after = readBytes(config);
    ASSERT_GE(after.size(), noise.size());
    EXPECT_EQ(after.substr(0, noise.size()), noise);
    EXPECT_EQ(readConfigItem(config, "zz-new", "k"), "v");
}

TEST_F(ConfigFileTest, ValueWithLineBreaksCannotAddKeys) {
    ASSERT_TRUE(writeConfigItem(config, "user", "cookie", "a=1\r\n[download]\ndirectory=/evil"));
    EXPECT_EQ(findConfigItem(config, "download", "directory"), std::nullopt);
    EXPECT_EQ(readConfigItem(config, "user", "cookie"), "a=1  [download] directory=/evil");
    EXPECT_FALSE(writeConfigItem(config, "user", "a=b", "1"));
    EXPECT_FALSE(writeConfigItem(config, "us]er", "a", "1"));
    EXPECT_FALSE(writeConfigItem(config, "user", "", "1"));
    EXPECT_FALSE(writeConfigItem(config, "user", "a\nb", "1"));
}

TEST_F(ConfigFileTest, WriteReplacesTheFileWholeAndTightensItsMode) {
    write("[user]\ncookie=old\n");
    ::chmod(config.c_str(), 0644);
    // A second name for the old file: an in-place rewrite would change it too.
    const std::string oldLink = folder.file("old-copy");
    ASSERT_EQ(::link(config.c_str(), oldLink.c_str()), 0);

    ASSERT_TRUE(writeConfigItem(config, "user", "cookie", "new"));
    EXPECT_EQ(readBytes(oldLink), "[user]\ncookie=old\n");
    EXPECT_EQ(readBytes(config), "[user]\ncookie=new\n");
    EXPECT_EQ(fileMode(config), 0600u);
    std::filesystem::remove(oldLink);
    EXPECT_EQ(folderEntries(), kConfigAndLock);
}

TEST_F(ConfigFileTest, FailedWriteLeavesNothingBehind) {
    const std::string missingFolder = folder.file("absent/config.ini");
    EXPECT_FALSE(writeConfigItem(missingFolder, "user", "mid", "1"));
    EXPECT_TRUE(folderEntries().empty());
}

TEST_F(ConfigFileTest, ConcurrentWritesAreNotLost) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < 10; ++i) {
                writeConfigItem(config, "user", "key" + std::to_string(t * 10 + i), "v");
            }
        });
    }
    for (auto& writer : writers) writer.join();
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(findConfigItem(config, "user", "key" + std::to_string(k)), "v") << k;
    EXPECT_EQ(folderEntries(), kConfigAndLock);
}

// Two instances of the program share config.ini: no process may lose another's writes.
TEST_F(ConfigFileTest, WritesOfSeveralProcessesAreNotLost) {
    constexpr int kProcesses = 4;
    constexpr int kWrites = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int i = 0; i < kWrites; ++i)
                ok = writeConfigItem(config, "user",
                                     "p" + std::to_string(p) + "k" + std::to_string(i), "v") &&
                     ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int lost = 0;
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kWrites; ++i) {
            const std::string key = "p" + std::to_string(p) + "k" + std::to_string(i);
            if (findConfigItem(config, "user", key) != "v") ++lost;
        }
    }
    EXPECT_EQ(lost, 0);
}

TEST_F(ConfigFileTest, SeveralItemsGoInOneReplacement) {
    write("[user]\nmid=1\n[download]\nthreadNumber=2\n");
    ASSERT_TRUE(writeConfigItems(config, "user", {{"mid", "7"}, {"name", "n"}, {"mid", "8"}}));
    EXPECT_EQ(readBytes(config), "[user]\nmid=8\nname=n\n[download]\nthreadNumber=2\n");
    // One unusable name: nothing at all is written.
    EXPECT_FALSE(writeConfigItems(config, "user", {{"cookie", "c"}, {"bad=key", "x"}}));
    EXPECT_EQ(findConfigItem(config, "user", "cookie"), std::nullopt);
    ASSERT_TRUE(writeConfigItems(folder.file("new.ini"), "site", {{"api", "http://a"}}));
    EXPECT_EQ(readBytes(folder.file("new.ini")), "[site]\napi=http://a\n");
}

TEST(TextToInteger, ReadsLeadingDecimalNumber) {
    EXPECT_EQ(textToInteger("3"), 3);
    EXPECT_EQ(textToInteger("abc"), 0);
    EXPECT_EQ(textToInteger("12x"), 12);
    EXPECT_EQ(textToInteger("-2"), -2);
    EXPECT_EQ(textToInteger(" \t\n+7 8"), 7);
    EXPECT_EQ(textToInteger(""), 0);
    EXPECT_EQ(textToInteger("- 5"), 0);
    EXPECT_EQ(textToInteger("--5"), 0);
    EXPECT_EQ(textToInteger("2147483647"), INT_MAX);
    EXPECT_EQ(textToInteger("2147483648"), INT_MAX);
    EXPECT_EQ(textToInteger("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(textToInteger("-2147483648"), INT_MIN);
    EXPECT_EQ(textToInteger("-99999999999999999999999"), INT_MIN);
}

TEST_F(ConfigFileTest, UserRecordReadsThirteenKeysAndStrictFlags) {
    write(
        "[user]\nmid=42\nname=\xD6\xD0\nheadImg=http://h/i.jpg\ncoinNumber=3.5\nmoral=70\n"
        "emailVerify=1\nmobileVerify=true\ncookie=SESSDATA=s; uid=42\nlevel.currentLevel=5\n"
        "level.currentExp=100\nlevel.nextExp=200\nvip.status=01\nvip.dueDate=2030-01-01\n");
    UserRecord user = loadUserRecord(config);
    EXPECT_EQ(user.mid, "42");
    EXPECT_EQ(user.name, "\xD6\xD0");
    EXPECT_EQ(user.headImg, "http://h/i.jpg");
    EXPECT_EQ(user.coinNumber, "3.5");
    EXPECT_EQ(user.moral, "70");
    EXPECT_TRUE(user.emailVerify);
    EXPECT_FALSE(user.mobileVerify);
    EXPECT_EQ(user.cookie, "SESSDATA=s; uid=42");
    EXPECT_EQ(user.level.currentLevel, "5");
    EXPECT_EQ(user.level.currentExp, "100");
    EXPECT_EQ(user.level.nextExp, "200");
    EXPECT_FALSE(user.vip.status);
    EXPECT_EQ(user.vip.dueDate, "2030-01-01");
    EXPECT_EQ(user.failureMessage, "");
}

TEST_F(ConfigFileTest, DownloadSettingsFromFile) {
    write("[download]\ndirectory=/data/\xCF\xC2\xD4\xD8\nthreadNumber=12x\n");
    DownloadSettings settings = loadDownloadSettings(config, "/opt/q");
    EXPECT_EQ(settings.directory, "/data/\xCF\xC2\xD4\xD8");
    EXPECT_EQ(settings.threadNumber, 12);
    // The default folder is given as a UTF-8 path and kept as local text.
    EXPECT_EQ(loadDownloadSettings(folder.file("none.ini"), "/opt/下载/download").directory,
              "/opt/\xCF\xC2\xD4\xD8/download");
}

TEST_F(ConfigFileTest, SiteAddressesTakeDefaultsAndLoseOneTrailingSlash) {
    write("[site]\napi=http://127.0.0.1:8765/\nmain=http://127.0.0.1:8765//\nspace=\n");
    SiteAddresses site = loadSiteAddresses(config);
    EXPECT_EQ(site.api, "http://127.0.0.1:8765");
    EXPECT_EQ(site.main, "http://127.0.0.1:8765/");
    EXPECT_EQ(site.login, "https://login.quivra.com");
    EXPECT_EQ(site.space, "https://space.quivra.com");
}

}  // namespace
}  // namespace quivra
