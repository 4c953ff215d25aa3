// The real program on the command line: the site's commands, usage, help and the
// hand-over to the windows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "base/config_file.h"
#include "devsite/dev_site.h"
#include "program_folder.h"
#include "support/browser_profiles.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;
using test::fileMode;
using test::linesOf;
using test::ProgramRun;

class CommandLineTest : public test::ProgramFolderSuite {};

TEST_F(CommandLineTest, BadUsageExitsTwoHelpAndVersionZero) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* stdoutHolds;  // "" when standard output must stay empty
    };
    const Case cases[] = {
        {{"--version"}, 0, "quivra-downloader 1."},
        {{"info", "--help"}, 0, "--json"},
        {{"--quiet"}, 2, ""},
        {{"fetch", "av2"}, 2, ""},
        {{"info"}, 2, ""},
        {{"info", "av2", "--xml"}, 2, ""},
        {{"search", "few", "--page", "0"}, 2, ""},
        {{"login"}, 2, ""},
        {{"login", "--cookie", "--qr"}, 2, ""},
        {{"login", "--cookie", "SESSDATA=x"}, 2, ""},
        {{"get"}, 2, ""},
        {{"get", "av2", "-p", "3-1"}, 2, ""},
        {{"get", "av2", "-p", "0,2"}, 2, ""},
        {{"get", "av2", "-p", "1,,2"}, 2, ""},
        {{"get", "av2", "-a", "loud"}, 2, ""},
        {{"get", "av2", "-j", "0"}, 2, ""},
        {{"get", "av2", "--codec", "hevc,vp9"}, 2, ""},
        {{"get", "av2", "--codec", "av1,AV1"}, 2, ""},
        {{"get", "av2", "--audio-only", "--video-only"}, 2, ""},
        {{"get", "av2", "--container", "avi"}, 2, ""},
        {{"get", "ml30001", "--items", "1,x"}, 2, ""},
        {{"get", "ml30001", "--since", "2026-01-01T00"}, 2, ""},
        {{"get", "ml30001", "--until", "soon"}, 2, ""},
        {{"list", "av2"}, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
        const ProgramRun result = run(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        if (*c.stdoutHolds == '\0') {
            EXPECT_EQ(result.out, "");
            EXPECT_NE(result.err, "");
        } else {
            EXPECT_NE(result.out.find(c.stdoutHolds), std::string::npos) << result.out;
        }
    }
    // The reason names the codec the program does not know.
    EXPECT_NE(run({"get", "av2", "--codec", "hevc,vp9"}).err.find("vp9"), std::string::npos);
    EXPECT_TRUE(site().requests().empty());
}

TEST_F(CommandLineTest, InfoListsThePartsAndMarksTheQualitiesTheAccountLacks) {
    for (const char* cookie : {"", devsite::kMemberCookie}) {
        SCOPED_TRACE(cookie);
        ASSERT_TRUE(writeConfigItem(configPath(), "user", "cookie", cookie));
        const ProgramRun result = run({"info", "av170001", "--json"});
        ASSERT_EQ(result.status, 0) << result.err;
        const auto info = nlohmann::json::parse(result.out);
        EXPECT_EQ(info["bvid"], devsite::kTwelvePartBvid);
        EXPECT_EQ(info["title"], "木工入门_全十二集");
        ASSERT_EQ(info["parts"].size(), 12u);
        EXPECT_EQ(info["parts"][0]["number"], "01");
        EXPECT_EQ(info["parts"][11]["number"], "12");
        EXPECT_EQ(info["parts"][11]["name"], "第12集 小板凳");
        EXPECT_EQ(info["parts"][11]["duration"], "09:37");
        std::vector<std::pair<int, bool>> qualities;
        for (const auto& quality : info["qualities"]) {
            qualities.emplace_back(quality["id"].get<int>(), quality["available"].get<bool>());
        }
        const bool member = *cookie != '\0';
        EXPECT_EQ(
            qualities,
            (std::vector<std::pair<int, bool>>{
                {120, member}, {116, member}, {80, true}, {64, true}, {32, true}, {16, true}}));
    }
    const ProgramRun text = run({"info", devsite::kOnePartBvid});
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("  01  62:05  山间小路的清晨\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  80  1080P 高清\n"), std::string::npos);
}

TEST_F(CommandLineTest, InfoWritesTheSiteTextsInUtf8WhateverTheLocale) {
    const char* const saved = std::getenv("LC_ALL");
    const std::string savedLocale = saved ? saved : "";
    const std::string fffd = "\xEF\xBF\xBD";
    for (const char* locale : {"C", "C.UTF-8", "zh_CN.GBK"}) {
        SCOPED_TRACE(locale);
        ::setenv("LC_ALL", locale, 1);
        const ProgramRun json = run({"info", devsite::kWorldTextBvid, "--json"});
        const ProgramRun text = run({"info", devsite::kWorldTextBvid});
        ASSERT_EQ(json.status, 0) << json.err;
        const auto info = nlohmann::json::parse(json.out);  // throws on ill-formed UTF-8
        EXPECT_EQ(info["siteTitle"], "🎵 노래 测试 ♫");
        EXPECT_EQ(info["author"], "가수 歌手");
        EXPECT_EQ(info["description"],
                  "旗 🇰🇷 一家 👨‍👩‍👧 カタカナ ひらがな 𠀋 שלום");
        ASSERT_EQ(info["parts"].size(), 2u);
        EXPECT_EQ(info["parts"][0]["name"], "🎤 가사 第一段");
        EXPECT_EQ(info["parts"][1]["name"], "残缺" + fffd + " 与 " + fffd + " 第二段");
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(linesOf(text.out).at(0),
                  std::string(devsite::kWorldTextBvid) + "  🎵 노래 测试 ♫");
        EXPECT_NE(text.out.find("  01  00:41  🎤 가사 第一段\n"), std::string::npos) << text.out;
    }
    if (saved) {
        ::setenv("LC_ALL", savedLocale.c_str(), 1);
    } else {
        ::unsetenv("LC_ALL");
    }
}

TEST_F(CommandLineTest, UnresolvedAddressExitsThreeWithTheWindowsTextEvenWhenQuiet) {
    const std::pair<const char*, const char*> cases[] = {
        {"AV170001", "请输入正确的视频地址、bvid、avid\n"},  // no "av", no "BV"
        {"BV1zzzzzzzzz", "解析失败：视频不存在（-404）\n"},  // the site does not know it
    };
    for (const auto& [address, text] : cases) {
        const ProgramRun result = run({"--quiet", "info", address});
        EXPECT_EQ(result.status, 3) << address;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, text);
    }
}

// A site that cannot be reached or answers something unusable is no unknown video: status
// 1 with the reason, for info and get alike.
TEST_F(CommandLineTest, UnreachableSiteExitsOneWithTheReason) {
    struct Case {
        bool deadSite;  // else the site answers HTML
        const char* err;
    };
    const Case cases[] = {{true, "解析失败：服务器没有回应\n"},
                          {false, "解析失败：回答不是JSON\n"}};
    for (const Case& c : cases) {
        for (const char* command : {"info", "get"}) {
            SCOPED_TRACE(std::string(command) + (c.deadSite ? " dead" : " html"));
            if (c.deadSite) {
                test::writeBytes(configPath(), "[site]\napi=http://127.0.0.1:1\n");
            } else {
                SetUp();
                site().overrideAnswer("/x/web-interface/view", 200, "<html>busy</html>");
            }
            std::vector<std::string> args = {command, devsite::kOnePartBvid};
            if (args[0] == "get") args.insert(args.end(), {"-o", (folder() / "none").string()});
            const ProgramRun result = run(args);
            EXPECT_EQ(result.status, 1);
            const std::string named = args[0] == "get" ? args[1] + ": " : "";
            EXPECT_EQ(result.err, named + c.err);
        }
    }
}

TEST_F(CommandLineTest, SearchGivesOnePageAndFailsWithTheWindowsMessage) {
    const ProgramRun few = run({"search", "few", "--json"});
    ASSERT_EQ(few.status, 0) << few.err;
    const auto page = nlohmann::json::parse(few.out);
    EXPECT_EQ(page["label"], "第1页/共1页 7条");
    ASSERT_EQ(page["hits"].size(), 7u);
    EXPECT_EQ(page["hits"][0]["bvid"], devsite::kOnePartBvid);
    EXPECT_EQ(page["hits"][0]["address"], site().baseUrl() + "/video/" + devsite::kOnePartBvid);
    EXPECT_EQ(page["hits"][0]["title"], "第1个 few 练习视频");
    for (const char* field : {"author", "duration"}) {
        EXPECT_NE(page["hits"][0][field], "") << field;
    }

    const ProgramRun third = run({"search", "木工 入门", "--page", "3"});
    ASSERT_EQ(third.status, 0) << third.err;
    const std::vector<std::string> lines = linesOf(third.out);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines.back(), "第3页/共50页 1000条");
    const auto asked = site().requestsTo("/x/web-interface/search/all/v2");
    ASSERT_FALSE(asked.empty());
    EXPECT_NE(asked.back().query.find("keyword=%E6%9C%A8%E5%B7%A5%20%E5%85%A5%E9%97%A8&page=3"),
              std::string::npos)
        << asked.back().query;

    site().overrideAnswer("/x/web-interface/search/all/v2", 200, "<html>", "text/html");
    const ProgramRun broken = run({"search", "few"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(broken.err, "json解析失败，请重试！\n");
}

// login --browser: the site's cookie of a profile made here logs in; the other hosts'
// cookies are neither stored nor printed, and a missing profile says so.
TEST_F(CommandLineTest, BrowserLoginStoresOnlyTheSiteCookie) {
    const fs::path home = folder() / "home";
    fs::remove_all(home);
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    ::setenv("HOME", home.c_str(), 1);
    const ProgramRun missing = run({"login", "--browser", "firefox"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "没有找到Firefox的用户配置\n");

    const std::string member = devsite::kMemberCookie;
    const std::vector<test::ProfileCookie> cookies = {
        {"127.0.0.1", "SESSDATA", member.substr(member.find('=') + 1)},
        {".example.org", "SESSDATA", "other-site-secret"},
        {"127.0.0.2", "elsewhere", "other-host-secret"},
    };
    test::makeFirefoxProfile(home, cookies);
    test::makeChromiumProfile(home, cookies);
    for (const char* browser : {"firefox", "chromium"}) {
        SCOPED_TRACE(browser);
        ASSERT_TRUE(writeConfigItem(configPath(), "user", "cookie", ""));
        const ProgramRun login = run({"login", "--browser", browser});
        EXPECT_EQ(login.status, 0) << login.err;
        EXPECT_EQ(login.out, "登录成功，欢迎您：星河漫步者\n");
        EXPECT_EQ(stored("cookie"), member);
        EXPECT_EQ((login.out + login.err).find("secret"), std::string::npos);
        EXPECT_EQ(test::readBytes(configPath()).find("secret"), std::string::npos);
    }
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(CommandLineTest, CookieLoginFromStandardInputIsStoredPrivatelyAndNeverPrinted) {
    const ProgramRun refused = run({"login", "--cookie"}, "SESSDATA=unknown\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "登录失败，原因：账号未登录\n");
    EXPECT_EQ(stored("cookie"), "");

    std::vector<ProgramRun> runs;
    runs.push_back(run({"login", "--cookie"}, std::string(devsite::kMemberCookie) + "\r\n"));
    EXPECT_EQ(runs.back().status, 0) << runs.back().err;
    EXPECT_EQ(runs.back().out, "登录成功，欢迎您：星河漫步者\n");
    EXPECT_EQ(stored("cookie"), devsite::kMemberCookie);
    EXPECT_EQ(fileMode(configPath()), 0600u);

    runs.push_back(run({"whoami"}));
    EXPECT_EQ(runs.back().status, 0);
    const std::vector<std::string> who = linesOf(runs.back().out);
    ASSERT_FALSE(who.empty());
    EXPECT_EQ(who.front(), "name: 星河漫步者");
    EXPECT_NE(runs.back().out.find("vip.status: 1\n"), std::string::npos);
    for (const ProgramRun& each : runs) {
        EXPECT_EQ((each.out + each.err).find("member-sessdata"), std::string::npos);
    }

    EXPECT_EQ(run({"logout"}).status, 0);
    EXPECT_EQ(stored("cookie"), "");
    EXPECT_EQ(stored("name"), "");
    const ProgramRun nobody = run({"whoami"});
    EXPECT_EQ(nobody.status, 1);
    EXPECT_EQ(nobody.out, "");
}

// The picture drawn with half blocks (a light module is ink) read back as a QR code.
std::string decodeTerminalArt(const std::vector<std::string>& art) {
    std::vector<std::vector<bool>> dark;
    for (const std::string& line : art) {
        std::vector<bool> upper, lower;
        for (size_t i = 0; i < line.size();) {
            const std::string cell = line[i] == ' ' ? " " : line.substr(i, 3);
            i += cell.size();
            upper.push_back(cell != "█" && cell != "▀");
            lower.push_back(cell != "█" && cell != "▄");
        }
        dark.push_back(upper);
        dark.push_back(lower);
    }
    constexpr int kScale = 4;
    test::TempFolder folder;
    const std::string path = folder.file("art.pbm");
    {
        std::ofstream pbm(path);
        pbm << "P1\n" << dark.front().size() * kScale << " " << dark.size() * kScale << "\n";
        for (const auto& row : dark) {
            for (int repeat = 0; repeat < kScale; ++repeat) {
                for (bool module : row) {
                    for (int x = 0; x < kScale; ++x) pbm << (module ? "1 " : "0 ");
                }
                pbm << "\n";
            }
        }
    }
    std::string text = test::runProgram("/usr/bin/zbarimg", {"--raw", "-q", path}).out;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

TEST_F(CommandLineTest, QrLoginDrawsAScannableCodeAndPrintsTheStatesAsTheWindowShowsThem) {
    site().setQrScript({{false, -4}, {true, 0}});
    const ProgramRun ok = run({"login", "--qr"});
    ASSERT_EQ(ok.status, 0) << ok.err;
    std::vector<std::string> lines = linesOf(ok.out);
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines.front(), "正在生成登录二维码");
    const std::vector<std::string> states(lines.end() - 4, lines.end());
    EXPECT_EQ(states, (std::vector<std::string>{"等待扫描二维码", "正在获取用户信息", "登陆成功",
                                                "登录成功，欢迎您：星河漫步者"}));
    const std::vector<std::string> art(lines.begin() + 1, lines.end() - 4);
    EXPECT_EQ(decodeTerminalArt(art),
              site().baseUrl() + "/qrcode/approval?oauthKey=" + site().lastQrKey());
    EXPECT_EQ(stored("cookie").rfind("SESSDATA=member-sessdata", 0), 0u) << stored("cookie");

    site().setQrScript({{false, -2}});
    const ProgramRun expired = run({"--quiet", "login", "--qr"});
    EXPECT_EQ(expired.status, 1);
    EXPECT_EQ(expired.out, "");
    EXPECT_EQ(expired.err, "二维码已过期，请刷新\n");
}

TEST_F(CommandLineTest, WithoutArgumentsTheWindowProgramTakesTheProcessOver) {
    // The environment is made before the fork: the child only calls exec.
    std::vector<std::string> settings = {"QT_QPA_PLATFORM=offscreen"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("QT_QPA_PLATFORM=", 0) != 0) settings.push_back(*entry);
    }
    std::vector<char*> environment;
    for (std::string& setting : settings) environment.push_back(setting.data());
    environment.push_back(nullptr);
    const std::string path = program();
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
        ::execve(path.c_str(), argv, environment.data());
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    const std::string exe = "/proc/" + std::to_string(child) + "/exe";
    const fs::path window = folder() / "quivra-downloader-window";
    bool windowRuns = false;
    for (int i = 0; i < 600 && !windowRuns; ++i) {
        std::error_code error;
        windowRuns = fs::read_symlink(exe, error) == window;
        if (!windowRuns) ::usleep(50 * 1000);
    }
    // The main window is up when the process still runs a moment later.
    ::usleep(500 * 1000);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0);
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(windowRuns);
}

// What bash offers for the last of the words typed, through the generated completion.
std::string completions(const std::vector<std::string>& typed) {
    std::vector<std::string> args = {"-c",
                                     "source '" QUIVRA_BINARY_DIR
                                     "/resources/cli/quivra-downloader.bash'\n"
                                     "COMP_WORDS=(quivra-downloader \"$@\"); COMP_CWORD=$#\n"
                                     "_quivra_downloader; echo \"${COMPREPLY[*]}\"",
                                     "bash"};
    args.insert(args.end(), typed.begin(), typed.end());
    return test::runProgram("/bin/bash", args).out;
}

TEST(CommandLineDocs, CompletionAndManPageFollowTheCommands) {
    const std::string offered = completions({""});
    const std::string manPage =
        test::readBytes(QUIVRA_BINARY_DIR "/resources/cli/quivra-downloader.1");
    for (const char* command : {"get", "list", "resume", "subscribe", "sync", "info", "search",
                                "login", "logout", "whoami"}) {
        EXPECT_NE(offered.find(command), std::string::npos) << command << " in " << offered;
        EXPECT_NE(manPage.find(std::string(".SS ") + command + "\n"), std::string::npos) << command;
    }
    EXPECT_EQ(completions({"--quiet", "search", "few", "--p"}), "--page\n");
    EXPECT_EQ(completions({"login", "--"}), "--help --cookie --qr --browser\n");
    EXPECT_EQ(completions({"lo"}), "login logout\n");
}

}  // namespace
}  // namespace quivra
