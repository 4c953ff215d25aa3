#include "video/parse_procedure.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/text_encoding.h"
#include "support/local_site.h"

namespace quivra {
namespace {

using devsite::kMemberCookie;
using devsite::kOnePartBvid;
using devsite::kTwelvePartBvid;

// The main window in memory: each call is logged in UTF-8, rows and items are kept.
class MemoryView : public ParseView {
  public:
    void setParseButton(const std::string& caption, bool enabled) override {
        log.push_back("button " + localToUtf8(caption) + (enabled ? " on" : " off"));
    }
    void clearQualityItems() override {
        log.push_back("clear qualities");
        qualities.clear();
    }
    void addQualityItem(const std::string& text, int itemData) override {
        if (log.back() != "add qualities") log.push_back("add qualities");
        qualities.emplace_back(localToUtf8(text), itemData);
    }
    void clearRows() override {
        log.push_back("clear rows");
        rows.clear();
    }
    void appendRows(const std::vector<PageEntry>& pages) override {
        log.push_back("append " + std::to_string(pages.size()));
        rows.insert(rows.end(), pages.begin(), pages.end());
    }
    void setStatusText(const std::string& text) override {
        log.push_back("status " + localToUtf8(text));
    }
    void showMessage(const std::string& text) override {
        log.push_back("message " + localToUtf8(text));
    }

    std::vector<std::string> log;
    std::vector<std::pair<std::string, int>> qualities;
    std::vector<PageEntry> rows;
};

// The parse of the address (UTF-8) as the window hands it over.
ParseResult parse(MemoryView& view, const std::string& address) {
    return runParse(view, localText(address.c_str()));
}

class ParseProcedureTest : public test::LocalSiteTest {};

const std::vector<std::pair<std::string, int>> kAllQualities = {
    {"4K 超清", 120},  {"1080P60 高帧率", 116}, {"1080P 高清", 80},
    {"720P 高清", 64}, {"480P 清晰", 32},       {"360P 流畅", 16}};

TEST_F(ParseProcedureTest, OnePartVideoFillsTheWindowInOrder) {
    MemoryView view;
    parse(view, std::string("看这个 https://www.quivra.com/video/") + kOnePartBvid + "?p=1 好看");

    const std::vector<std::string> expected = {
        "button 解析中 off", "clear qualities",           "add qualities", "clear rows", "append 1",
        "button 解析 on",    "status 解析完毕，共1条视频"};
    EXPECT_EQ(view.log, expected);
    EXPECT_EQ(view.qualities, kAllQualities);
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].page, "1");
    EXPECT_EQ(localToUtf8(view.rows[0].part), "山间小路的清晨");
    EXPECT_EQ(view.rows[0].duration, "62:05");
    EXPECT_EQ(view.rows[0].cid, "3001");

    const VideoRecord record = sharedState().video.get();
    EXPECT_EQ(record.bvid, kOnePartBvid);
    EXPECT_EQ(record.videos, 1);
    EXPECT_EQ(sharedState().qualities.get().count, 6);

    // The quality list is asked for with the video's cid.
    const auto playurl = site().requestsTo("/x/player/playurl");
    ASSERT_EQ(playurl.size(), 1u);
    EXPECT_EQ(playurl[0].query.rfind("cid=3001&bvid=BV1xx411c7mD&", 0), 0u);
}

TEST_F(ParseProcedureTest, TwelvePartVideoFromAnAvNumberParsedTwiceGivesTheSameRows) {
    setUserCookie(kMemberCookie);
    MemoryView view;
    parse(view, "https://www.quivra.com/video/av170001?from=search");
    ASSERT_EQ(view.rows.size(), 12u);
    EXPECT_EQ(view.log.back(), "status 解析完毕，共12条视频");
    EXPECT_EQ(sharedState().video.get().bvid, kTwelvePartBvid);
    const std::vector<PageEntry> first = view.rows;

    parse(view, "https://www.quivra.com/video/av170001?from=search");
    ASSERT_EQ(view.rows.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(view.rows[i].page, std::to_string(i + 1));
        EXPECT_EQ(view.rows[i].cid, first[i].cid);
        EXPECT_EQ(view.rows[i].part, first[i].part);
        EXPECT_EQ(view.rows[i].duration, first[i].duration);
    }
    EXPECT_EQ(view.qualities, kAllQualities);
}

TEST_F(ParseProcedureTest, TextWithoutIdentifierOnlyShowsTheMessage) {
    for (const char* text : {"", "AV170001", "bv1xx411c7mD", "https://www.quivra.com/"}) {
        MemoryView view;
        parse(view, text);
        const std::vector<std::string> expected = {"message 请输入正确的视频地址、bvid、avid"};
        EXPECT_EQ(view.log, expected) << text;
    }
    EXPECT_TRUE(site().requests().empty());
    EXPECT_EQ(sharedState().video.get().bvid, "");
}

TEST_F(ParseProcedureTest, UnknownVideoEmptiesTheWindowButKeepsThePreviousRecord) {
    MemoryView view;
    parse(view, kOnePartBvid);
    ASSERT_EQ(view.rows.size(), 1u);

    parse(view, "BV1zzzzzzzzz");
    const std::vector<std::string> expected = {"button 解析中 off", "clear qualities", "clear rows",
                                               "button 解析 on",
                                               "status 解析失败：视频不存在（-404）"};
    EXPECT_EQ(std::vector<std::string>(view.log.end() - 5, view.log.end()), expected);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_TRUE(view.qualities.empty());

    const VideoRecord record = sharedState().video.get();
    EXPECT_EQ(record.bvid, "BV1zzzzzzzzz");
    EXPECT_EQ(localToUtf8(record.title), "山间小路的清晨");
    EXPECT_EQ(record.pages.size(), 1u);
    EXPECT_EQ(sharedState().qualities.get().count, -1);
}

// A failed parse never shows the previous video's count as if it had succeeded.
TEST_F(ParseProcedureTest, FailedParseSaysWhyInTheStatusLine) {
    const std::string view = "/x/web-interface/view";
    struct Case {
        std::function<void()> arrange;
        std::string status;
    };
    const Case cases[] = {
        {[&] { site().overrideAnswer(view, 200, "<html><body>oops</body></html>"); },
         "解析失败：回答不是JSON"},
        {[&] { site().overrideAnswer(view, 200, std::string(1001, '[')); },
         "解析失败：回答嵌套过深"},
        {[&] { site().cutAnswer(view, R"({"code":0,"data":{"videos":)", 4000); },
         "解析失败：回答不完整"},
        {[&] {
             site().overrideAnswer(
                 view, 200,
                 R"({"code":0,"data":{"videos":1,"desc":")" + std::string(5 << 20, 'x') + R"("}})",
                 "application/json");
         },
         "解析失败：回答过大"},
        {[&] { site().overrideAnswer(view, 200, R"({"code":-412,"message":""})"); },
         "解析失败：站点拒绝（-412）"},
        {[] { sharedState().site.api = "http://127.0.0.1:1"; }, "解析失败：服务器没有回应"},
        // Answered, but with no part: the count the answer gives, as everywhere else.
        {[&] {
             site().overrideAnswer(view, 200, R"({"code":0,"data":{"videos":0,"pages":[]}})",
                                   "application/json");
         },
         "解析完毕，共0条视频"},
    };
    for (const Case& c : cases) {
        MemoryView first;
        parse(first, kOnePartBvid);
        ASSERT_EQ(first.rows.size(), 1u);

        c.arrange();
        MemoryView failed;
        parse(failed, kOnePartBvid);
        EXPECT_TRUE(failed.rows.empty()) << c.status;
        EXPECT_EQ(failed.log[failed.log.size() - 2], "button 解析 on") << c.status;
        EXPECT_EQ(failed.log.back(), "status " + c.status);
        site().clearOverrides();
        sharedState().site.api = site().baseUrl();
    }
}

TEST_F(ParseProcedureTest, BrokenVideoAnswerStillAsksForTheQualitiesWithTheKeptCid) {
    MemoryView view;
    parse(view, kOnePartBvid);
    site().overrideAnswer("/x/web-interface/view", 200, "");
    parse(view, kOnePartBvid);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.qualities, kAllQualities);

    site().overrideAnswer("/x/player/playurl", 200, "");
    parse(view, kOnePartBvid);
    EXPECT_TRUE(view.qualities.empty());
}

TEST_F(ParseProcedureTest, AListCutAtTheCapSaysSo) {
    site().overrideAnswer("/x/web-interface/view", 200,
                          R"({"code":0,"data":{"videos":2147483647,"cid":7,"pages":[{"cid":7}]}})",
                          "application/json");
    MemoryView view;
    parse(view, kOnePartBvid);
    EXPECT_EQ(view.rows.size(), 10000u);
    EXPECT_EQ(view.log.back(), "status 解析完毕，共2147483647条视频，只列出前10000条");
}

TEST_F(ParseProcedureTest, ReaderNeverSeesHalfARecord) {
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done) {
            const VideoRecord record = sharedState().video.get();
            ++reads;
            const bool empty = record.bvid.empty() && record.pages.empty();
            const bool one = record.bvid == kOnePartBvid && record.videos == 1 &&
                             record.pages.size() == 1 && record.cid == "3001";
            const bool twelve = record.bvid == kTwelvePartBvid && record.videos == 12 &&
                                record.pages.size() == 12 && record.cid == "62001";
            if (!empty && !one && !twelve) ++torn;
        }
    });
    // On a loaded machine the parses could all end before the reader first runs.
    while (reads == 0) std::this_thread::yield();
    MemoryView view;
    for (int i = 0; i < 20; ++i) parse(view, i % 2 ? kTwelvePartBvid : kOnePartBvid);
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
}

}  // namespace
}  // namespace quivra
