// Time to parse a video-information answer with 1,000 parts and read every field the
// video information request reads, against a plain nlohmann parse of the same text.
// Usage: json_bench [runs]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_support.h"
#include "net/json_object.h"
#include "net/text_encoding.h"

namespace {

constexpr int kPages = 1000;

std::string videoAnswer() {
    nlohmann::ordered_json pages = nlohmann::ordered_json::array();
    for (int i = 0; i < kPages; ++i) {
        pages.push_back(
            {{"cid", 300000000 + i},
             {"page", i + 1},
             {"kind", "regular"},
             {"part", "第" + std::to_string(i + 1) + "集 演示片段/Part " + std::to_string(i + 1)},
             {"duration", 120 + i % 600},
             {"ref", ""},
             {"webpage", ""},
             {"frameSize", {{"width", 1920}, {"height", 1080}, {"rotate", 0}}}});
    }
    nlohmann::ordered_json answer = {
        {"code", 0},
        {"message", "0"},
        {"rev", 1},
        {"data",
         {{"bvid", "BV1xx411c7mD"},
          {"num", 170001},
          {"videos", kPages},
          {"cat", 17},
          {"pic", "http://i0.example.invalid/cover.jpg"},
          {"title", "演示合集：一千个分P的视频"},
          {"pubdate", 1595246400},
          {"added", 1595246400},
          {"desc", "简介\n第二行 \"引号\" 与反斜杠\\"},
          {"duration", 480000},
          {"owner",
           {{"mid", 2}, {"name", "演示作者"}, {"face", "http://i0.example.invalid/f.jpg"}}},
          {"stat",
           {{"num", 170001},
            {"view", 12345678},
            {"danmaku", 4321},
            {"reply", 999},
            {"favorite", 50000},
            {"coin", 40000},
            {"share", 3000},
            {"like", 200000}}},
          {"cid", 300000000},
          {"pages", pages}}}};
    return answer.dump();
}

// Reads what the video information request reads; returns a checksum of the texts.
size_t readVideoInformation(const std::string& localBody) {
    quivra::JsonObject json;
    json.parse(localBody);
    size_t sum = 0;
    if (json.valueText("code") != "0") std::abort();
    for (const char* path :
         {"data.videos", "data.duration", "data.cid", "data.owner.mid", "data.stat.view",
          "data.pubdate", "data.stat.favorite", "data.stat.coin", "data.stat.like",
          "data.stat.share", "data.stat.danmaku", "data.stat.reply"}) {
        sum += json.valueText(path).size();
    }
    for (const char* path :
         {"data.title", "data.desc", "data.pic", "data.owner.name", "data.owner.face"}) {
        sum += json.getText(path).size();
    }
    for (int i = 0; i < kPages; ++i) {
        const std::string page = "data.pages[" + std::to_string(i) + "]";
        sum += json.valueText(page + ".cid").size();
        sum += json.valueText(page + ".page").size();
        sum += json.valueText(page + ".duration").size();
        sum += json.getText(page + ".part").size();
    }
    json.clear();
    return sum;
}

// CPU time of this thread: the shared machine's load does not count against either side.
double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

template <typename F>
double medianMilliseconds(int runs, F&& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double start = threadMilliseconds();
        work();
        times.push_back(threadMilliseconds() - start);
    }
    return bench::spreadOf(std::move(times)).median;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    const std::string utf8Body = videoAnswer();
    const std::string localBody = quivra::utf8ToLocalText(utf8Body);

    volatile size_t sink = 0;
    const double plain = medianMilliseconds(runs, [&] {
        auto document = nlohmann::json::parse(utf8Body);
        sink = sink + document.size();
    });
    const double object =
        medianMilliseconds(runs, [&] { sink = sink + readVideoInformation(localBody); });

    std::printf("answer: %zu bytes, %d parts, median thread CPU time of %d runs\n", utf8Body.size(),
                kPages, runs);
    std::printf("nlohmann::json::parse:               %8.3f ms\n", plain);
    std::printf("JsonObject parse + every field read: %8.3f ms\n", object);
    std::printf("ratio: %.2fx (target at most 3x)\n", object / plain);
    return 0;
}
