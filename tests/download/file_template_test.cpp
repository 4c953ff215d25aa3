// 文件名格式: the default template names files as they were always named, the fields fill
// and clean, names fit the file system, and a plan never gives two parts one file.
#include "download/plan/file_template.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "devsite/dev_site.h"
#include "download/job/video_cover.h"
#include "download/plan/download_plan.h"
#include "net/text_encoding.h"
#include "support/local_site.h"
#include "support/temp_folder.h"
#include "video/video_parse.h"

namespace quivra {
namespace {

std::string copies(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// The path of a part under the download folder, in UTF-8.
std::string pathOf(const std::string& templateText, TemplateFields fields, bool keep = false,
                   const std::string& extension = ".mp4") {
    fields.videoTitle = utf8ToLocalText(fields.videoTitle);
    fields.pageTitle = utf8ToLocalText(fields.pageTitle);
    return localToUtf8(templatedPath(utf8ToLocalText(templateText), fields, keep, extension));
}

// What the folder and NN_<page name>.mp4 always were, for titles of every kind.
TEST(FileTemplate, DefaultTemplateNamesAsBefore) {
    struct Case {
        std::string title;  // UTF-8, as the site gives it
        std::string part;
        int row;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"Hello World", "p 1", 1, "Hello_World/01_p_1.mp4"},
        {"中文：标题（上）", "第 1 集：开始", 2, "中文_标题_上_/02_第_1_集_开始.mp4"},
        {"", "p", 1, "BV1xx411c7mD/01_p.mp4"},
        {"  ", "", 100, "__/100_.mp4"},
        {copies("长", 300), copies("a", 150) + copies("段", 150), 1,
         copies("长", 85) + "/01_" + copies("a", 150) + copies("段", 31) + ".mp4"},
    };
    for (const Case& c : cases) {
        TemplateFields fields;
        fields.videoTitle = c.title;
        fields.pageTitle = c.part;
        fields.pageNumber = c.row;
        fields.bvid = "BV1xx411c7mD";
        EXPECT_EQ(pathOf(kDefaultFileTemplate, fields), c.path) << c.title;
        // A template that cannot name files is read as the default.
        EXPECT_EQ(pathOf("../{bvid}", fields), c.path) << c.title;
    }
}

TEST(FileTemplate, EachFieldFillsAndIsCleaned) {
    TemplateFields fields;
    fields.videoTitle = "V t";
    fields.pageTitle = "P/t";
    fields.pageNumber = 7;
    fields.bvid = "BV17x411w7KC";
    fields.aid = "170001";
    fields.cid = "279786";
    fields.quality = localText("1080P 高清");
    fields.codec = "HEVC";
    fields.owner = localText("某人.");
    fields.ownerMid = "42";
    fields.publishDate = "2021-08-27";
    fields.listName = localText("收藏 夹");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{videoTitle}", "V_t"},
        {"{pageTitle}", "P_t"},
        {"{pageNumber}", "7"},
        {"{pageNumberWithZero}", "07"},
        {"{bvid}", "BV17x411w7KC"},
        {"{aid}", "170001"},
        {"{cid}", "279786"},
        {"{quality}", "1080P_高清"},
        {"{codec}", "HEVC"},
        {"{owner}", "某人_"},
        {"{ownerMid}", "42"},
        {"{publishDate}", "2021_08_27"},
        {"{listName}", "收藏_夹"},
        {"{episode}", "BV17x411w7KC"},  // empty: a name is never only its extension
        {"{episode}/{cid}", "BV17x411w7KC/279786"},
        {"x {ownerMid}-{bvid}", "x 42-BV17x411w7KC"},  // typed text stays as typed
    };
    for (const auto& [templateText, name] : cases) {
        EXPECT_EQ(localToUtf8(templatedPath(templateText, fields, false, ".mp4")), name + ".mp4");
    }
}

// 保留原标题字符: what GBK and a Linux name hold stays; "/" and control characters become
// "_", and a folder that would be "." or ".." the BV identifier.
TEST(FileTemplate, KeepCharactersReplacesOnlyWhatANameCannotHold) {
    struct Case {
        std::string title;  // UTF-8
        std::string folder;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"アニメ「第1話」★！ (Fin).", "アニメ「第1話」★！ (Fin).", "アニメ「第1話」★！ (Fin)."},
        {"a/b\tc\r\nd", "a_b_c_d", "a_b_c_d"},
        {"..", "BV1xx411c7mD", ".."},
        {".", "BV1xx411c7mD", "."},
        {"", "BV1xx411c7mD", "BV1xx411c7mD"},
    };
    for (const Case& c : cases) {
        TemplateFields fields;
        fields.videoTitle = c.title;
        fields.pageTitle = c.title;
        fields.bvid = "BV1xx411c7mD";
        EXPECT_EQ(pathOf("{videoTitle}/{pageTitle}", fields, true),
                  c.folder + "/" + c.name + ".mp4")
            << c.title;
    }
}

TEST(FileTemplate, ProblemsAreNamed) {
    const std::vector<std::string> refused = {
        "",
        "  ",
        "{videoTitle}/",
        "/{bvid}",
        "a//{bvid}",
        "{nope}",
        "{videoTitle",
        "../x",
        "a/../{bvid}",
        "./x",
        "{episode}../x",
        "{listName}./{bvid}",
        "a\tb",
    };
    for (const std::string& text : refused) {
        EXPECT_NE(fileTemplateProblem(text), "") << text;
    }
    const std::vector<std::string> accepted = {
        kDefaultFileTemplate, "{bvid}/{pageNumber}", "a.b/.../{cid}", "}{cid}", "固定名",
    };
    for (const std::string& text : accepted) {
        EXPECT_EQ(localToUtf8(fileTemplateProblem(utf8ToLocalText(text))), "") << text;
    }
}

// The name is cut at a character so that it, the extension and ".part" take at most 255
// bytes, whatever the extension.
TEST(FileTemplate, LongNamesFitWithEveryExtension) {
    TemplateFields fields;
    fields.pageTitle = copies("段", 100);
    for (const char* extension : {".mp4", ".mkv", ".m4a", ".flac", "(12).flac"}) {
        const std::string name = pathOf("{pageTitle}", fields, false, extension);
        EXPECT_LE(name.size() + 5, 255u) << extension;
        EXPECT_GT(name.size() + 5, 252u) << extension;
        EXPECT_EQ(name.substr(name.size() - std::string(extension).size()), extension);
    }
}

// Parts that fill to one name get "(2)", "(3)" by row, whichever rows are chosen; a long
// name leaves room for the number.
TEST(FileTemplate, APlanGivesEveryPartItsOwnFile) {
    test::TempFolder folder;
    ParseResult parsed;
    parsed.video.bvid = "BV1xx411c7mD";
    parsed.video.siteTitle = localText("视频");
    parsed.video.title = parsed.video.siteTitle;
    for (const char* cid : {"1", "2", "3"}) parsed.rows.push_back({cid, cid, "p", "00:05", "", ""});
    DownloadSettings settings;
    settings.directory = folder.path();
    const std::string longName = copies("x", 300);
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"{videoTitle}/same", {"视频/same.mp4", "视频/same(2).mp4", "视频/same(3).mp4"}},
        {"{videoTitle}/{pageNumberWithZero}", {"视频/01.mp4", "视频/02.mp4", "视频/03.mp4"}},
        {longName,
         {copies("x", 246) + ".mp4", copies("x", 243) + "(2).mp4", copies("x", 243) + "(3).mp4"}},
    };
    for (const auto& [templateText, names] : cases) {
        settings.fileNameTemplate = templateText;
        const DownloadPlan plan = planDownloads(parsed, {{}, 64, 30280}, settings, "");
        ASSERT_EQ(plan.requests.size(), names.size()) << localToUtf8(plan.refusal);
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(localToUtf8(plan.requests[i].outputPath), folder.path() + "/" + names[i]);
        }
        const PartSelection third{std::vector<int>{2}, 64, 30280};
        const DownloadPlan second = planDownloads(parsed, third, settings, "");
        ASSERT_EQ(second.requests.size(), 1u);
        EXPECT_EQ(localToUtf8(second.requests[0].outputPath), folder.path() + "/" + names[2]);
    }
    EXPECT_TRUE(
        std::filesystem::is_directory(folder.path() + "/" + localToUtf8(parsed.video.title)));
}

class PlannedNamesTest : public test::LocalSiteTest {};

// The site's texts kept beside the local ones change no name: the local text still names.
TEST_F(PlannedNamesTest, SiteTextsLeaveTheDefaultNamesToTheLocalText) {
    test::TempFolder folder;
    const ParseResult parsed = parseVideo(devsite::kWorldTextBvid, FormatAsk{});
    ASSERT_EQ(parsed.failure, ParseFailure::None) << localToUtf8(parsed.reason);
    DownloadSettings settings;
    settings.directory = folder.path();
    const DownloadPlan plan = planDownloads(parsed, {{}, 64, 30280}, settings, "");
    ASSERT_EQ(plan.requests.size(), 2u) << localToUtf8(plan.refusal);
    EXPECT_EQ(localToUtf8(plan.requests[0].outputPath),
              folder.path() + "/_____测试__/01______第一段.mp4");
    EXPECT_EQ(localToUtf8(plan.requests[1].outputPath),
              folder.path() + "/_____测试__/02_残缺__与___第二段.mp4");
}

// A thousand parts of one name are numbered in one pass, not by counting up from (2) for
// each (which took 30 s).
TEST(FileTemplate, AThousandPartsOfOneNameArePlannedAtOnce) {
    test::TempFolder folder;
    ParseResult parsed;
    parsed.video.bvid = "BV1xx411c7mD";
    parsed.video.title = "T";
    parsed.rows.assign(1000, {"1", "1", "p", "00:05", "", ""});
    DownloadSettings settings;
    settings.directory = folder.path();
    settings.fileNameTemplate = "{videoTitle}/same";
    const auto start = std::chrono::steady_clock::now();
    const DownloadPlan plan = planDownloads(parsed, {{}, 64, 30280}, settings, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    ASSERT_EQ(plan.requests.size(), 1000u);
    EXPECT_EQ(plan.requests.back().outputPath, folder.path() + "/T/same(1000).mp4");
}

// The plan fills the fields from the record, the quality list and the list's name, and takes
// the extension of the file the part becomes.
TEST(FileTemplate, APlanFillsTheFieldsAndTheExtension) {
    test::TempFolder folder;
    ParseResult parsed;
    parsed.video.bvid = "BV17x411w7KC";
    parsed.video.title = "T";
    parsed.video.owner = {"42", localText("某人"), "", ""};
    parsed.video.stat.pubdate = "2021-08-27 01:46:40";
    parsed.rows = {{"279786", "5", "p", "00:05", "327107", ""}};
    parsed.qualities.entries = {{"80", localText("1080P 高清"), true, {7, 12}}};
    DownloadSettings settings;
    settings.directory = folder.path();
    settings.videoCodecs = "av1,hevc,avc";
    settings.fileNameTemplate =
        "{listName}/{owner}_{ownerMid}/{aid}_{cid}_{quality}_{codec}_{publishDate}_{episode}";
    settings.container = "mkv";
    PartSelection selection{{}, 80, 30280};
    selection.listName = localText("番剧");
    const DownloadPlan plan = planDownloads(parsed, selection, settings, "");
    ASSERT_EQ(plan.requests.size(), 1u) << localToUtf8(plan.refusal);
    EXPECT_EQ(localToUtf8(plan.requests[0].outputPath),
              folder.path() + "/番剧/某人_42/170001_279786_1080P_高清_HEVC_2021_08_27_5.mkv");
}

// A folder named after the video holds its cover.jpg; one a template may share among videos
// holds each video's own.
TEST(FileTemplate, VideosSharingAFolderKeepTheirOwnCovers) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/d/T/01_p.mp4", "/d/T/cover.jpg"},
        {"/d/BV1xx411c7mD/1.mp4", "/d/BV1xx411c7mD/cover.jpg"},
        {"/d/owner/T_1.mp4", "/d/owner/cover_BV1xx411c7mD.jpg"},
        {"/d/T_1.mp4", "/d/cover_BV1xx411c7mD.jpg"},
    };
    for (const auto& [output, cover] : cases) {
        DownloadRequest part;
        part.bvid = "BV1xx411c7mD";
        part.videoTitle = "T";
        part.outputPath = output;
        EXPECT_EQ(coverPath(part), cover);
    }
}

}  // namespace
}  // namespace quivra
